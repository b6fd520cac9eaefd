#include "import/zip_xml_events.h"

#include <expat.h>

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

bool ParseZipXml(ZipArchive& archive, const QString& name, ZipXmlEvents& events) {
    ZipPartBytes bytes(archive, name);
    if (!bytes.found()) {
        return false;
    }
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) {
        archive.fail(ZipArchive::Status::TooBig);
        return true;
    }
    Parse parse{parser, events, archive};
    XML_SetUserData(parser, &parse);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetStartDoctypeDeclHandler(parser, OnDoctype);
    for (;;) {
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
        const bool last = read == 0;
        if (XML_ParseBuffer(parser, int(read), last) != XML_STATUS_OK) {
            if (!parse.stopped) {
                archive.fail(ZipArchive::Status::Damaged);
            }
            break;
        }
        if (last) {
            break;
        }
    }
    XML_ParserFree(parser);
    return true;
}

std::string_view ExpatAttribute(const char** attributes, std::string_view name) {
    for (const char** at = attributes; at[0] != nullptr; at += 2) {
        if (std::string_view(at[0]) == name) {
            return at[1];
        }
    }
    return {};
}
