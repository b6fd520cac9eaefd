#include "import/zip_xml_events.h"

#include <expat.h>

#include "import/xml_scanner.h"

namespace {

constexpr int kChunkBytes = 256 * 1024;

std::string_view LocalName(const XML_Char* name) {
    const std::string_view whole(name);
    const size_t colon = whole.rfind(':');
    return colon == std::string_view::npos ? whole : whole.substr(colon + 1);
}

struct Parse {
    XML_Parser parser;
    ZipXmlEvents& events;
    ZipArchive& archive;
    bool stopped = false;

    void stop() {
        stopped = true;
        XML_StopParser(parser, XML_FALSE);
    }
};

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* parse = static_cast<Parse*>(data);
    if (!parse->events.start(LocalName(name), attributes)) {
        parse->stop();
    }
}

void OnEnd(void* data, const XML_Char* name) {
    auto* parse = static_cast<Parse*>(data);
    if (!parse->events.end(LocalName(name))) {
        parse->stop();
    }
}

void OnText(void* data, const XML_Char* text, int length) {
    auto* parse = static_cast<Parse*>(data);
    if (!parse->events.text(std::string_view(text, size_t(length)))) {
        parse->stop();
    }
}

void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto* parse = static_cast<Parse*>(data);
    parse->archive.fail(ZipArchive::Status::Damaged);
    parse->stop();
}

}  // namespace

namespace {

// The general parser, for a part in another encoding than UTF-8.
void ParseWithExpat(ZipPartBytes& bytes, std::string_view first, ZipXmlEvents& events) {
    ZipArchive& archive = bytes.archive();
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        archive.fail(ZipArchive::Status::TooBig);
        return;
    }
    Parse parse{parser, events, archive};
    XML_SetUserData(parser, &parse);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetStartDoctypeDeclHandler(parser, OnDoctype);
    bool ok = XML_Parse(parser, first.data(), int(first.size()), first.empty()) == XML_STATUS_OK;
    while (ok && !first.empty()) {
        void* buffer = XML_GetBuffer(parser, kChunkBytes);
        if (buffer == nullptr) {
            archive.fail(ZipArchive::Status::TooBig);
            break;
        }
        const qint64 read = bytes.read(static_cast<char*>(buffer), kChunkBytes);
        if (archive.status() != ZipArchive::Status::Fine) {
            break;
        }
        // The part's end is the document's: a document not ended by then is damaged.
        ok = XML_ParseBuffer(parser, int(read), read == 0) == XML_STATUS_OK;
        if (read == 0) {
            break;
        }
    }
    if (!ok && !parse.stopped && archive.status() == ZipArchive::Status::Fine) {
        archive.fail(ZipArchive::Status::Damaged);
    }
    XML_ParserFree(parser);
}

}  // namespace

bool ParseZipXml(ZipArchive& archive, const QString& name, ZipXmlEvents& events) {
    ZipPartBytes bytes(archive, name);
    if (!bytes.found()) {
        return false;
    }
    std::string chunk(kChunkBytes, '\0');
    qint64 read = bytes.read(chunk.data(), kChunkBytes);
    if (archive.status() != ZipArchive::Status::Fine) {
        return true;
    }
    if (!XmlScanner::Reads(std::string_view(chunk.data(), size_t(read)))) {
        ParseWithExpat(bytes, std::string_view(chunk.data(), size_t(read)), events);
        return true;
    }
    // UTF-8, as every producer writes these parts: our own reader, several times faster.
    XmlScanner scanner(events);
    for (;;) {
        const XmlScanner::Result result =
            scanner.feed(std::string_view(chunk.data(), size_t(read)), read == 0);
        if (result == XmlScanner::Result::Malformed) {
            archive.fail(ZipArchive::Status::Damaged);
        }
        if (result != XmlScanner::Result::More || read == 0) {
            return true;
        }
        read = bytes.read(chunk.data(), kChunkBytes);
        if (archive.status() != ZipArchive::Status::Fine) {
            return true;
        }
    }
}

std::string_view ExpatAttribute(const char** attributes, std::string_view name) {
    for (const char** at = attributes; at[0] != nullptr; at += 2) {
        if (at[0][0] == name[0] && std::string_view(at[0]) == name) {
            return at[1];
        }
    }
    return {};
}
