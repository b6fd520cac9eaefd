#include "support/fault_vfs.h"

#include <sqlite3.h>

#include <array>
#include <atomic>

namespace FaultVfs {
namespace {

constexpr int kKinds = 5;

// Backups copy on a thread of their own, so the counters are shared between threads.
std::atomic<bool> g_armed{false};
std::atomic<bool> g_reached{false};
std::array<std::atomic<int>, kKinds> g_calls{};
Fault g_fault;

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs{};

int DefaultCode(Kind kind) {
    switch (kind) {
        case Kind::Write:
            return SQLITE_IOERR_WRITE;
        case Kind::Sync:
            return SQLITE_IOERR_FSYNC;
        case Kind::Read:
            return SQLITE_IOERR_READ;
        case Kind::Truncate:
            return SQLITE_IOERR_TRUNCATE;
        case Kind::Open:
            return SQLITE_CANTOPEN;
    }
    return SQLITE_IOERR;
}

// Counts the call and says which result code it must fail with, or SQLITE_OK.
int Check(Kind kind) {
    if (!g_armed.load()) {
        return SQLITE_OK;
    }
    const int n = ++g_calls[size_t(kind)];
    if (kind != g_fault.kind || n < g_fault.at || (n > g_fault.at && !g_fault.sticky)) {
        return SQLITE_OK;
    }
    g_reached = true;
    return g_fault.code != 0 ? g_fault.code : DefaultCode(kind);
}

struct File {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* Real(sqlite3_file* file) {
    return reinterpret_cast<File*>(file)->real;
}

int Close(sqlite3_file* file) {
    return Real(file)->pMethods->xClose(Real(file));
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    if (const int rc = Check(Kind::Read); rc != SQLITE_OK) {
        return rc;
    }
    return Real(file)->pMethods->xRead(Real(file), buffer, amount, offset);
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    if (const int rc = Check(Kind::Write); rc != SQLITE_OK) {
        return rc;
    }
    return Real(file)->pMethods->xWrite(Real(file), buffer, amount, offset);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
    if (const int rc = Check(Kind::Truncate); rc != SQLITE_OK) {
        return rc;
    }
    return Real(file)->pMethods->xTruncate(Real(file), size);
}

int Sync(sqlite3_file* file, int flags) {
    if (const int rc = Check(Kind::Sync); rc != SQLITE_OK) {
        return rc;
    }
    return Real(file)->pMethods->xSync(Real(file), flags);
}

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
    return Real(file)->pMethods->xFileSize(Real(file), size);
}

int Lock(sqlite3_file* file, int level) {
    return Real(file)->pMethods->xLock(Real(file), level);
}

int Unlock(sqlite3_file* file, int level) {
    return Real(file)->pMethods->xUnlock(Real(file), level);
}

int CheckReservedLock(sqlite3_file* file, int* out) {
    return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}

int FileControl(sqlite3_file* file, int op, void* arg) {
    return Real(file)->pMethods->xFileControl(Real(file), op, arg);
}

int SectorSize(sqlite3_file* file) {
    return Real(file)->pMethods->xSectorSize(Real(file));
}

int DeviceCharacteristics(sqlite3_file* file) {
    return Real(file)->pMethods->xDeviceCharacteristics(Real(file));
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
    return Real(file)->pMethods->xShmMap(Real(file), region, size, extend, out);
}

int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
    return Real(file)->pMethods->xShmLock(Real(file), offset, n, flags);
}

void ShmBarrier(sqlite3_file* file) {
    Real(file)->pMethods->xShmBarrier(Real(file));
}

int ShmUnmap(sqlite3_file* file, int deleteFlag) {
    return Real(file)->pMethods->xShmUnmap(Real(file), deleteFlag);
}

// Version 2: shared memory for the write-ahead log, but no memory-mapped reads, which would
// bypass the counted read call.
sqlite3_io_methods MakeMethods() {
    sqlite3_io_methods m{};
    m.iVersion = 2;
    m.xClose = Close;
    m.xRead = Read;
    m.xWrite = Write;
    m.xTruncate = Truncate;
    m.xSync = Sync;
    m.xFileSize = FileSize;
    m.xLock = Lock;
    m.xUnlock = Unlock;
    m.xCheckReservedLock = CheckReservedLock;
    m.xFileControl = FileControl;
    m.xSectorSize = SectorSize;
    m.xDeviceCharacteristics = DeviceCharacteristics;
    m.xShmMap = ShmMap;
    m.xShmLock = ShmLock;
    m.xShmBarrier = ShmBarrier;
    m.xShmUnmap = ShmUnmap;
    return m;
}
const sqlite3_io_methods kMethods = MakeMethods();

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* wrapper = reinterpret_cast<File*>(file);
    wrapper->base.pMethods = nullptr;
    wrapper->real = reinterpret_cast<sqlite3_file*>(wrapper + 1);
    if (const int rc = Check(Kind::Open); rc != SQLITE_OK) {
        return rc;
    }
    const int rc = g_real->xOpen(g_real, name, wrapper->real, flags, outFlags);
    if (rc == SQLITE_OK) {
        wrapper->base.pMethods = &kMethods;
    } else if (wrapper->real->pMethods) {
        // The real layer may want its half-open file closed.
        wrapper->real->pMethods->xClose(wrapper->real);
    }
    return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return g_real->xDelete(g_real, name, syncDir);
}

int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return g_real->xAccess(g_real, name, flags, out);
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return g_real->xFullPathname(g_real, name, size, out);
}

void* DlOpen(sqlite3_vfs*, const char* name) {
    return g_real->xDlOpen(g_real, name);
}

void DlError(sqlite3_vfs*, int size, char* out) {
    g_real->xDlError(g_real, size, out);
}

void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return g_real->xDlSym(g_real, handle, symbol);
}

void DlClose(sqlite3_vfs*, void* handle) {
    g_real->xDlClose(g_real, handle);
}

int Randomness(sqlite3_vfs*, int size, char* out) {
    return g_real->xRandomness(g_real, size, out);
}

int Sleep(sqlite3_vfs*, int microseconds) {
    return g_real->xSleep(g_real, microseconds);
}

int CurrentTime(sqlite3_vfs*, double* out) {
    return g_real->xCurrentTime(g_real, out);
}

int GetLastError(sqlite3_vfs*, int size, char* out) {
    return g_real->xGetLastError(g_real, size, out);
}

int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return g_real->xCurrentTimeInt64(g_real, out);
}

}  // namespace

void Install() {
    if (g_real) {
        return;
    }
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(File)) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "ruvaso_fault";
    g_vfs.xOpen = Open;
    g_vfs.xDelete = Delete;
    g_vfs.xAccess = Access;
    g_vfs.xFullPathname = FullPathname;
    g_vfs.xDlOpen = DlOpen;
    g_vfs.xDlError = DlError;
    g_vfs.xDlSym = DlSym;
    g_vfs.xDlClose = DlClose;
    g_vfs.xRandomness = Randomness;
    g_vfs.xSleep = Sleep;
    g_vfs.xCurrentTime = CurrentTime;
    g_vfs.xGetLastError = GetLastError;
    g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

void Arm(const Fault& fault) {
    Install();
    g_armed = false;
    g_fault = fault;
    for (std::atomic<int>& calls : g_calls) {
        calls = 0;
    }
    g_reached = false;
    g_armed = true;
}

bool Disarm() {
    g_armed = false;
    return g_reached.load();
}

int Calls(Kind kind) {
    return g_calls[size_t(kind)].load();
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Write:
            return "write";
        case Kind::Sync:
            return "sync";
        case Kind::Read:
            return "read";
        case Kind::Truncate:
            return "truncate";
        case Kind::Open:
            return "open";
    }
    return "?";
}

}  // namespace FaultVfs
