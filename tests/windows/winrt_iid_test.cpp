// The parameterised IIDs of the toast interfaces are not published as
// numbers but derived: UUIDv5 (SHA-1) in the WinRT namespace over the type's
// signature. Each declared value is checked against that rule here, with a
// SHA-1 of the test's own.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/toast/winrt_toast_interfaces_win.h"

namespace {

using Digest = std::array<std::uint8_t, 20>;

std::uint32_t BigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// FIPS 180-4 SHA-1.
Digest Sha1(std::vector<std::uint8_t> message)
{
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const std::uint64_t bits = std::uint64_t{message.size()} * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    for (int shift = 56; shift >= 0; shift -= 8) message.push_back(static_cast<std::uint8_t>(bits >> shift));

    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::uint32_t w[80];
        for (int i = 0; i < 16; ++i) w[i] = BigEndian32(&message[block + 4 * i]);
        for (int i = 16; i < 80; ++i) w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            std::uint32_t f = 0, k = 0;
            if (i < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6;
            }
            const std::uint32_t next = std::rotl(a, 5) + f + e + k + w[i];
            e = d, d = c, c = std::rotl(b, 30), b = a, a = next;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    Digest digest;
    for (int i = 0; i < 20; ++i) digest[i] = static_cast<std::uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string Hex(const Digest& digest)
{
    std::string text;
    char pair[3];
    for (const std::uint8_t byte : digest) {
        std::snprintf(pair, sizeof(pair), "%02x", byte);
        text += pair;
    }
    return text;
}

std::string Text(const GUID& id)
{
    char text[37];
    std::snprintf(text, sizeof(text), "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.Data1, id.Data2, id.Data3,
                  id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                  id.Data4[7]);
    return text;
}

// The WinRT rule: SHA-1 of the namespace's 16 bytes and the UTF-8 signature,
// the first 16 bytes read as a big-endian GUID with version 5 and the
// RFC 4122 variant set.
GUID SignatureIid(std::string_view signature)
{
    std::vector<std::uint8_t> input = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                       0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};
    input.insert(input.end(), signature.begin(), signature.end());
    Digest hash = Sha1(std::move(input));
    hash[6] = static_cast<std::uint8_t>((hash[6] & 0x0f) | 0x50);
    hash[8] = static_cast<std::uint8_t>((hash[8] & 0x3f) | 0x80);
    GUID id;
    id.Data1 = BigEndian32(&hash[0]);
    id.Data2 = static_cast<unsigned short>(hash[4] << 8 | hash[5]);
    id.Data3 = static_cast<unsigned short>(hash[6] << 8 | hash[7]);
    for (int i = 0; i < 8; ++i) id.Data4[i] = hash[8 + i];
    return id;
}

TEST(WinrtIidTest, Sha1MatchesTheStandardVectors)
{
    EXPECT_EQ(Hex(Sha1(Bytes("abc"))), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // Two blocks once padded.
    EXPECT_EQ(Hex(Sha1(Bytes("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"))),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

TEST(WinrtIidTest, ParameterisedIidsAreThoseOfTheirSignatures)
{
    using namespace desktop::toast_abi;
    const std::string handler =
        "pinterface({9de1c534-6ae1-11e0-84e1-18a905bcc53f};"
        "rc(Windows.UI.Notifications.ToastNotification;{997e2675-059e-4e60-8b06-1760917c8b80});";
    EXPECT_EQ(Text(__uuidof(IToastActivatedHandler)), Text(SignatureIid(handler + "cinterface(IInspectable))")));
    EXPECT_EQ(Text(__uuidof(IToastDismissedHandler)),
              Text(SignatureIid(handler + "rc(Windows.UI.Notifications.ToastDismissedEventArgs;"
                                          "{3f89d935-d9cb-4538-a0f0-ffe7659938f8}))")));
    EXPECT_EQ(Text(__uuidof(IToastFailedHandler)),
              Text(SignatureIid(handler + "rc(Windows.UI.Notifications.ToastFailedEventArgs;"
                                          "{35176862-cfd4-44f8-ad64-f500fd896c3b}))")));
    EXPECT_EQ(Text(__uuidof(IDateTimeReference)), Text(SignatureIid("pinterface({61c17706-2d65-11e0-9ae8-d48564015472};"
                                                                    "struct(Windows.Foundation.DateTime;i8))")));

    // The runtime classes in the signatures, by their default interfaces as declared.
    EXPECT_EQ(Text(__uuidof(IToastNotification)), "997e2675-059e-4e60-8b06-1760917c8b80");
    EXPECT_EQ(Text(__uuidof(IToastDismissedEventArgs)), "3f89d935-d9cb-4538-a0f0-ffe7659938f8");
    EXPECT_EQ(Text(__uuidof(IToastFailedEventArgs)), "35176862-cfd4-44f8-ad64-f500fd896c3b");
}

}  // namespace
