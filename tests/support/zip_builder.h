#pragma once
// ZIP archives written byte by byte, so that a test can put into them what no
// archiving tool would: names that leave the output folder, links, duplicates
// and damaged checksums. Items are stored uncompressed.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

class ZipBuilder {
public:
    // Who made an item decides how the codec library reads its name and mode.
    enum class Host : std::uint8_t { Fat = 0, Unix = 3 };

    ZipBuilder& File(std::string name, std::string content, Host host = Host::Unix)
    {
        return File(std::move(name), std::make_shared<const std::string>(std::move(content)), host);
    }
    ZipBuilder& File(std::string name, std::shared_ptr<const std::string> content, Host host = Host::Unix)
    {
        return Add({std::move(name), std::move(content), host, 0100644u, false});
    }
    // A folder item; its name gets the trailing slash that marks folders.
    ZipBuilder& Folder(const std::string& name, Host host = Host::Unix)
    {
        return Add({name + "/", Empty(), host, 040755u, true});
    }
    // A symbolic link whose content is its target.
    ZipBuilder& Link(std::string name, std::string target)
    {
        return Add(
            {std::move(name), std::make_shared<const std::string>(std::move(target)), Host::Unix, 0120777u, false});
    }
    // The last item's recorded checksum no longer matches its bytes.
    ZipBuilder& DamageLastChecksum()
    {
        items_.back().crc_offset = 1;
        return *this;
    }

    // The archive as consecutive pieces: headers, and the items' contents
    // shared rather than copied.
    using Pieces = std::vector<std::shared_ptr<const std::string>>;
    Pieces Layout() const
    {
        Pieces pieces;
        std::string directory;
        std::uint64_t offset = 0;
        std::map<const std::string*, std::uint32_t> checksums;
        for (const Item& item : items_) {
            auto [known, added] = checksums.try_emplace(item.content.get(), 0);
            if (added) known->second = Crc32(*item.content);
            const std::uint32_t crc = known->second + item.crc_offset;
            const auto size = static_cast<std::uint32_t>(item.content->size());
            std::string header;
            Put32(header, 0x04034b50);
            Common(header, item, crc, size);
            Put16(header, 0);  // extra field length
            header += item.name;

            Put32(directory, 0x02014b50);
            Put16(directory, static_cast<std::uint16_t>(static_cast<unsigned>(item.host) << 8 | 20));
            Common(directory, item, crc, size);
            Put16(directory, 0);  // extra field length
            Put16(directory, 0);  // comment length
            Put16(directory, 0);  // disk number
            Put16(directory, 0);  // internal attributes
            const std::uint32_t dos = item.is_folder ? 0x10 : 0;
            Put32(directory, item.host == Host::Unix ? item.mode << 16 | dos : dos);
            Put32(directory, static_cast<std::uint32_t>(offset));
            directory += item.name;

            offset += header.size() + size;
            pieces.push_back(std::make_shared<const std::string>(std::move(header)));
            pieces.push_back(item.content);
        }
        std::string end = directory;
        Put32(end, 0x06054b50);
        Put16(end, 0);
        Put16(end, 0);
        Put16(end, static_cast<std::uint16_t>(items_.size()));
        Put16(end, static_cast<std::uint16_t>(items_.size()));
        Put32(end, static_cast<std::uint32_t>(directory.size()));
        Put32(end, static_cast<std::uint32_t>(offset));
        Put16(end, 0);
        pieces.push_back(std::make_shared<const std::string>(std::move(end)));
        return pieces;
    }

    std::string Bytes() const
    {
        std::string out;
        for (const auto& piece : Layout()) out += *piece;
        return out;
    }

private:
    struct Item {
        std::string name;
        std::shared_ptr<const std::string> content;
        Host host;
        std::uint32_t mode;
        bool is_folder;
        std::uint32_t crc_offset = 0;
    };

    static std::shared_ptr<const std::string> Empty() { return std::make_shared<const std::string>(); }

    ZipBuilder& Add(Item item)
    {
        items_.push_back(std::move(item));
        return *this;
    }

    // The fields local headers and directory entries share, from "version
    // needed" to "name length".
    static void Common(std::string& out, const Item& item, std::uint32_t crc, std::uint32_t size)
    {
        Put16(out, 20);      // version needed
        Put16(out, 0x0800);  // names are UTF-8
        Put16(out, 0);       // stored
        Put16(out, 0);       // time
        Put16(out, 0x21);    // date: 1980-01-01
        Put32(out, crc);
        Put32(out, size);
        Put32(out, size);
        Put16(out, static_cast<std::uint16_t>(item.name.size()));
    }

    static void Put16(std::string& out, std::uint16_t value)
    {
        out += static_cast<char>(value & 0xff);
        out += static_cast<char>(value >> 8);
    }
    static void Put32(std::string& out, std::uint32_t value)
    {
        Put16(out, static_cast<std::uint16_t>(value & 0xffff));
        Put16(out, static_cast<std::uint16_t>(value >> 16));
    }

    static std::uint32_t Crc32(const std::string& data)
    {
        static const std::array<std::uint32_t, 256> table = [] {
            std::array<std::uint32_t, 256> entries{};
            for (std::uint32_t n = 0; n < 256; ++n) {
                std::uint32_t c = n;
                for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                entries[n] = c;
            }
            return entries;
        }();
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char byte : data) crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xff] ^ (crc >> 8);
        return crc ^ 0xFFFFFFFFu;
    }

    std::vector<Item> items_;
};

}  // namespace testing_support
