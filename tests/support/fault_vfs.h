#pragma once

// A file layer for the database engine that fails one chosen file operation, so tests can see
// what every save does when the disk does not cooperate. Installed once per process as the
// engine's default, it passes every call through to the platform's own layer and only counts
// while armed; every connection opened after Install() uses it, Qt's and the backup's alike.
//
//     FaultVfs::Install();
//     FaultVfs::Arm({FaultVfs::Kind::Write, 3});   // the third write fails
//     ... run the save ...
//     const bool reached = FaultVfs::Disarm();
//
// Memory-mapped reads are not offered, so every page read goes through the counted read call.
namespace FaultVfs {

enum class Kind { Write, Sync, Read, Truncate, Open };

struct Fault {
    Kind kind = Kind::Write;
    // Which call of that kind fails, counted from 1 across every file since Arm().
    int at = 1;
    // A full disk keeps failing; a glitch fails once.
    bool sticky = false;
    // The engine's result code to return; 0 picks the usual one for the kind (a write error, a
    // sync error, ...).
    int code = 0;
};

// Makes the counting layer the engine's default. Safe to call more than once.
void Install();
// Starts counting calls; the call `fault.at` of `fault.kind` and, when sticky, every later one
// of that kind fails.
void Arm(const Fault& fault);
// Stops failing and counting; returns whether the fault was reached.
bool Disarm();
// Calls of `kind` counted since the last Arm().
int Calls(Kind kind);

const char* KindName(Kind kind);

}  // namespace FaultVfs
