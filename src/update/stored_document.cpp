#include "update/stored_document.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "platform/base/text.h"
#include "platform/durable/atomic_file.h"
#include "platform/files/file_system.h"
#include "platform/paths/native_path.h"
#include "update/paths.h"

std::optional<StoredDocument> ReadStoredDocument()
{
    std::ifstream in(platform::WideToUtf8(StoredDocFileName), std::ios::binary);
    const nlohmann::json stored = nlohmann::json::parse(in, nullptr, false);
    const char* const members[] = {"document", "source", "etag", "lastModified"};
    if (!stored.is_object()) return std::nullopt;
    for (const char* member : members) {
        if (!stored.contains(member) || !stored[member].is_string()) return std::nullopt;
    }
    return StoredDocument{stored["document"], stored["source"], stored["etag"], stored["lastModified"]};
}

void KeepStoredDocument(const StoredDocument& document)
{
    if (document.etag.empty() && document.last_modified.empty()) return DropStoredDocument();
    if (ReadStoredDocument() == document) return;
    const nlohmann::json stored = {{"document", document.text},
                                   {"source", document.source},
                                   {"etag", document.etag},
                                   {"lastModified", document.last_modified}};
    // Text after the document's JSON value is never read, and may be anything.
    const std::string text = stored.dump(4, ' ', false, nlohmann::json::error_handler_t::replace);
    try {
        platform::ReplaceFileContent(platform::WideToUtf8(StoredDocFileName), text + "\n");
    } catch (const platform::FileWriteError&) {  // the next check is only unconditional
        DropStoredDocument();
    }
}

void DropStoredDocument()
{
    std::error_code unknown;
    if (std::filesystem::exists(platform::NativePath(StoredDocFileName), unknown))
        platform::RemoveFile(StoredDocFileName);
}
