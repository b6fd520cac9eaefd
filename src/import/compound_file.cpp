#include "import/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include <QString>
#include <memory>

namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using InputPtr = std::unique_ptr<GsfInput, Unref>;
using InfilePtr = std::unique_ptr<GsfInfile, Unref>;

constexpr qint64 kChunk = 1 << 20;

// The child named `name`, compared as the container does: without regard to case.
int ChildIndex(GsfInfile* container, const char* name) {
    const int count = gsf_infile_num_children(container);
    for (int i = 0; i < count; ++i) {
        const char* child = gsf_infile_name_by_index(container, i);
        if (child &&
            QString::fromUtf8(child).compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

}  // namespace

std::optional<QByteArray> WorkbookStream(const QByteArray& file) {
    static const bool initialised = (gsf_init(), true);
    Q_UNUSED(initialised);
    InputPtr source(gsf_input_memory_new(reinterpret_cast<const guint8*>(file.constData()),
                                         file.size(), FALSE));
    if (!source) {
        return std::nullopt;
    }
    GError* error = nullptr;
    InfilePtr container(gsf_infile_msole_new(source.get(), &error));
    if (error) {
        g_error_free(error);
    }
    if (!container) {
        return std::nullopt;
    }
    // A workbook saved for both Excel 95 and 97 holds both streams; the newer one has more.
    int index = ChildIndex(container.get(), "Workbook");
    if (index < 0) {
        index = ChildIndex(container.get(), "Book");
    }
    if (index < 0) {
        return std::nullopt;
    }
    InputPtr stream(gsf_infile_child_by_index(container.get(), index));
    if (!stream) {
        return std::nullopt;
    }
    // A stream cannot hold more than the file it is in, whatever its directory entry says.
    const gsf_off_t size = gsf_input_size(stream.get());
    if (size < 0 || size > file.size()) {
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += kChunk) {
        const size_t count = size_t(std::min<qint64>(kChunk, size - at));
        if (!gsf_input_read(stream.get(), count, reinterpret_cast<guint8*>(bytes.data() + at))) {
            return std::nullopt;
        }
    }
    return bytes;
}
