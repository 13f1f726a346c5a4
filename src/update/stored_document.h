#pragma once
// The last version document read in full, kept beside the working files
// with the validators it came with, so that the next check can be
// conditional and a 304 answered with it.
#include <optional>
#include <string>

#include "platform/net/download.h"

struct StoredDocument {
    std::string text;
    std::string source;  // the address that gave it; only that one is asked conditionally
    std::string etag;
    std::string last_modified;

    // What a request to its source sends.
    platform::ConditionalHeaders Conditions() const { return {etag, last_modified}; }
    bool operator==(const StoredDocument&) const = default;
};

// The stored document; nullopt when there is none or it cannot be read.
std::optional<StoredDocument> ReadStoredDocument();

// Keeps `document` in place of the stored one, durably; one without
// validators is of no use to a later check and removes the stored one, and
// so does a write that fails.
void KeepStoredDocument(const StoredDocument& document);

// Removes the stored document, so that the next check asks unconditionally.
void DropStoredDocument();
