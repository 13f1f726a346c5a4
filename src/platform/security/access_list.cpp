#include "platform/security/access_list.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace platform {
namespace {

// The layout, little-endian throughout:
//   list:  revision u8, 0 u8, size u16, entry count u16, 0 u16, entries...
//   entry: type u8, flags u8, size u16, then for the allowed and denied
//          types: access mask u32, SID (revision u8, sub-authority count
//          u8, authority 6 bytes, sub-authorities u32 each)
constexpr std::size_t kListHeader = 8;
constexpr std::size_t kEntryHeader = 4;
constexpr std::uint8_t kAllowedType = 0;      // ACCESS_ALLOWED_ACE_TYPE
constexpr std::uint8_t kMinimumRevision = 2;  // ACL_REVISION
constexpr std::size_t kLargestList = 0xFFFF;

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

void WriteU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    WriteU16(bytes, at, value & 0xFFFF);
    WriteU16(bytes, at + 2, value >> 16);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(ReadU16(bytes, at)) | static_cast<std::uint32_t>(ReadU16(bytes, at + 2)) << 16;
}

[[noreturn]] void Malformed(const std::string& what)
{
    throw std::invalid_argument("Malformed access control list: " + what);
}

struct Entry {
    std::size_t offset;
    std::size_t size;
};

// The entries of a well-formed list, in order.
std::vector<Entry> EntriesOf(std::span<const std::uint8_t> acl)
{
    if (acl.size() < kListHeader) Malformed("shorter than its header");
    const std::size_t size = ReadU16(acl, 2);
    if (size < kListHeader || size > acl.size()) Malformed("its size says " + std::to_string(size) + " bytes");
    std::vector<Entry> entries;
    std::size_t offset = kListHeader;
    for (std::size_t count = ReadU16(acl, 4); count > 0; --count) {
        if (offset + kEntryHeader > size) Malformed("an entry runs past its end");
        const std::size_t entry_size = ReadU16(acl, offset + 2);
        if (entry_size < kEntryHeader || entry_size % 4 != 0 || offset + entry_size > size) {
            Malformed("an entry of " + std::to_string(entry_size) + " bytes");
        }
        entries.push_back({offset, entry_size});
        offset += entry_size;
    }
    return entries;
}

// Where the entries end: a list may hold unused room after them.
std::size_t EndOfEntries(const std::vector<Entry>& entries)
{
    return entries.empty() ? kListHeader : entries.back().offset + entries.back().size;
}

// Whether the entry is an explicit allowed entry exactly like `wanted`.
bool IsExplicitEntryLike(std::span<const std::uint8_t> entry, const AllowedEntry& wanted)
{
    if (entry[0] != kAllowedType || entry[1] != wanted.flags) return false;
    const std::size_t sid_at = kEntryHeader + 4;
    if (entry.size() < sid_at + wanted.sid.size() || ReadU32(entry, kEntryHeader) != wanted.rights) return false;
    return std::equal(wanted.sid.begin(), wanted.sid.end(), entry.begin() + sid_at);
}

std::optional<Entry> FirstEntryLike(std::span<const std::uint8_t> acl, const std::vector<Entry>& entries,
                                    const AllowedEntry& wanted)
{
    for (const Entry& entry : entries) {
        if (IsExplicitEntryLike(acl.subspan(entry.offset, entry.size), wanted)) return entry;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> EncodedEntry(const AllowedEntry& entry)
{
    const std::size_t size = (kEntryHeader + 4 + entry.sid.size() + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[0] = kAllowedType;
    bytes[1] = entry.flags;
    WriteU16(bytes, 2, size);
    WriteU32(bytes, kEntryHeader, entry.rights);
    std::copy(entry.sid.begin(), entry.sid.end(), bytes.begin() + kEntryHeader + 4);
    return bytes;
}

// The header and entries of `acl` (up to `end`) with `removed` bytes at `at`
// replaced by `inserted`, the size and entry count set for the result.
std::vector<std::uint8_t> Spliced(std::span<const std::uint8_t> acl, std::size_t end, std::size_t at,
                                  std::size_t removed, std::span<const std::uint8_t> inserted, std::size_t count)
{
    const auto before = acl.first(at);
    const auto after = acl.subspan(at + removed, end - at - removed);
    std::vector<std::uint8_t> list(before.begin(), before.end());
    list.insert(list.end(), inserted.begin(), inserted.end());
    list.insert(list.end(), after.begin(), after.end());
    if (list.size() > kLargestList) Malformed("it would outgrow " + std::to_string(kLargestList) + " bytes");
    list[0] = std::max(list[0], kMinimumRevision);
    WriteU16(list, 2, list.size());
    WriteU16(list, 4, count);
    return list;
}

}  // namespace

std::vector<std::uint8_t> UsersGroupSid()
{
    // Revision 1, two sub-authorities, the NT authority (5), BUILTIN (32), Users (545).
    return {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 0x02, 0, 0};
}

std::optional<std::vector<std::uint8_t>> WithAllowedEntry(std::span<const std::uint8_t> acl, const AllowedEntry& entry)
{
    const std::vector<Entry> entries = EntriesOf(acl);
    if (FirstEntryLike(acl, entries, entry)) return std::nullopt;
    const auto first_inherited = std::find_if(entries.begin(), entries.end(), [&](const Entry& each) {
        return (acl[each.offset + 1] & kInheritedEntry) != 0;
    });
    const std::size_t end = EndOfEntries(entries);
    const std::size_t insert_at = first_inherited == entries.end() ? end : first_inherited->offset;
    return Spliced(acl, end, insert_at, 0, EncodedEntry(entry), entries.size() + 1);
}

std::optional<std::vector<std::uint8_t>> WithoutAllowedEntry(std::span<const std::uint8_t> acl,
                                                             const AllowedEntry& entry)
{
    const std::vector<Entry> entries = EntriesOf(acl);
    const std::optional<Entry> found = FirstEntryLike(acl, entries, entry);
    if (!found) return std::nullopt;
    return Spliced(acl, EndOfEntries(entries), found->offset, found->size, {}, entries.size() - 1);
}

}  // namespace platform
