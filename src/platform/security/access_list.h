#pragma once
// Editing a Windows access control list (the DACL of a file or folder) in its
// binary form, one entry at a time, so that every entry other programs or an
// administrator put there stays exactly as it was.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// An entry's inheritance flags.
inline constexpr std::uint8_t kFilesInherit = 0x01;    // OBJECT_INHERIT_ACE
inline constexpr std::uint8_t kFoldersInherit = 0x02;  // CONTAINER_INHERIT_ACE
inline constexpr std::uint8_t kInheritedEntry = 0x10;  // INHERITED_ACE: copied from a parent

// An access-allowed entry: who (a SID in its binary form), which rights (an
// access mask), how it is inherited.
struct AllowedEntry {
    std::vector<std::uint8_t> sid;
    std::uint32_t rights = 0;
    std::uint8_t flags = 0;
};

// The built-in Users group, S-1-5-32-545: the same SID on every language's
// Windows, where the group's name is translated.
std::vector<std::uint8_t> UsersGroupSid();

// `acl` with `entry` added as an explicit entry after the other explicit ones
// and before the inherited ones, as Windows orders them; nothing when an
// explicit entry exactly like it (same SID, rights and flags) is there.
// Raises std::invalid_argument for an `acl` that is not a well-formed list
// or would outgrow the 64 KiB a list may hold.
std::optional<std::vector<std::uint8_t>> WithAllowedEntry(std::span<const std::uint8_t> acl, const AllowedEntry& entry);

// `acl` without the first explicit entry exactly like `entry`; nothing when
// there is none. An inherited copy of it is never removed: it belongs to the
// parent folder's list.
std::optional<std::vector<std::uint8_t>> WithoutAllowedEntry(std::span<const std::uint8_t> acl,
                                                             const AllowedEntry& entry);

}  // namespace platform
