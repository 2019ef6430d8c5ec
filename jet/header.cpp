#include "jet/header.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "jet/byte_reader.h"
#include "jet/error.h"
#include "jet/rc4.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

constexpr std::uint8_t kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::uint8_t kMagic[] = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetName[] = "Standard Jet DB";

// Jet truncates the creation date towards zero; a value that no int32 can hold is clamped the way a
// Java cast does it, as Jackcess reads the mask.
std::int32_t truncatedDate(double date) {
    if (std::isnan(date)) return 0;
    if (date >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (date <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(date);
}

}  // namespace

Header Header::parse(std::span<const std::uint8_t> onDisk, const std::string& path) {
    if (onDisk.size() < kProbeLength || std::memcmp(onDisk.data(), kMagic, sizeof kMagic) != 0 ||
        std::memcmp(onDisk.data() + 4, kJetName, sizeof kJetName) != 0) {
        throw unrecognizedFormat(path);
    }
    Header header;
    switch (onDisk[kVersionOffset]) {
        case 0:
            header.format_ = &jet3Format();
            break;
        case 1:
            header.format_ = &jet4Format();
            break;
        default:  // 2 and above are ACE (Access 2007 and later)
            throw unrecognizedFormat(path);
    }
    const std::size_t length = header.format_->headerMaskLength;
    header.keystream_.assign(length, 0);
    rc4Apply(kHeaderKey, header.keystream_);
    header.unmasked_.assign(onDisk.begin() + kMaskStart, onDisk.begin() + kMaskStart + length);
    for (std::size_t i = 0; i < length; ++i) header.unmasked_[i] ^= header.keystream_[i];

    const JetFormat& format = *header.format_;
    const ByteReader fields(header.unmasked_);
    header.codePage_ = fields.u16(masked(format.headerCodePageOffset));
    header.databaseKey_ = fields.u32(masked(format.headerDatabaseKeyOffset));
    if (format.passwordDateMasked) {
        header.creationDate_ = fields.f64(masked(format.headerCreationDateOffset));
    }
    return header;
}

std::vector<std::uint8_t> Header::dateMask() const {
    std::vector<std::uint8_t> mask(format_->passwordLength, 0);
    if (!format_->passwordDateMasked) return mask;
    const auto value = static_cast<std::uint32_t>(truncatedDate(creationDate_));
    for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = static_cast<std::uint8_t>(value >> (8 * (i % 4)));
    }
    return mask;
}

std::vector<std::uint8_t> Header::plainPassword() const {
    const std::size_t at = masked(format_->headerPasswordOffset);
    std::vector<std::uint8_t> plain(
        unmasked_.begin() + static_cast<std::ptrdiff_t>(at),
        unmasked_.begin() + static_cast<std::ptrdiff_t>(at + format_->passwordLength));
    const auto mask = dateMask();
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] ^= mask[i];
    return plain;
}

bool Header::hasPassword() const {
    for (const std::uint8_t b : plainPassword()) {
        if (b != 0) return true;
    }
    return false;
}

// Bytes of the stored text before its first NUL character.
std::size_t Header::storedTextLength(std::span<const std::uint8_t> plain) const {
    const std::size_t unit = format_->textCharSize;
    std::size_t length = 0;
    while (length + unit <= plain.size() &&
           std::any_of(plain.begin() + static_cast<std::ptrdiff_t>(length),
                       plain.begin() + static_cast<std::ptrdiff_t>(length + unit),
                       [](std::uint8_t b) { return b != 0; }))
        length += unit;
    return length;
}

std::string Header::password() const {
    const auto plain = plainPassword();
    const auto text = std::span(plain).first(storedTextLength(plain));
    // The password is never in Jet 4's compressed form, whatever its first character.
    return format_->unicodeText ? utf16leToUtf8(text) : decodeCodePage(text, codePage_);
}

std::vector<std::uint8_t> Header::plainFromText(std::string_view password) const {
    if (!utf8ToUtf16(password)) throw invalidArgument("the password is not valid UTF-8");
    auto plain = tryEncodeText(password, *format_);
    if (!plain) throw invalidArgument("the password has characters this database cannot store");
    if (plain->size() > format_->passwordLength) {
        throw invalidArgument("a database password has at most 20 characters");
    }
    if (password.find('\0') != std::string_view::npos)
        throw invalidArgument("a database password cannot hold NUL");
    plain->resize(format_->passwordLength, 0);
    return *plain;
}

bool Header::passwordMatches(std::string_view candidate) const {
    std::vector<std::uint8_t> plain;
    try {
        plain = plainFromText(candidate);
    } catch (const JetError&) {
        return false;  // a text the field could not even hold is not the stored password
    }
    auto stored = plainPassword();
    // Whatever follows the first NUL of the stored text is not part of the password.
    std::fill(stored.begin() + static_cast<std::ptrdiff_t>(storedTextLength(stored)), stored.end(),
              0);
    return stored == plain;
}

std::vector<std::uint8_t> Header::encodePasswordField(std::string_view password) const {
    auto field = plainFromText(password);
    const auto mask = dateMask();
    const std::size_t at = masked(format_->headerPasswordOffset);
    for (std::size_t i = 0; i < field.size(); ++i) field[i] ^= mask[i] ^ keystream_[at + i];
    return field;
}

void Header::adoptPasswordField(std::span<const std::uint8_t> onDisk) {
    const std::size_t at = masked(format_->headerPasswordOffset);
    if (onDisk.size() != format_->passwordLength) throw invalidArgument("password field length");
    for (std::size_t i = 0; i < onDisk.size(); ++i)
        unmasked_[at + i] = onDisk[i] ^ keystream_[at + i];
}

}  // namespace jet
