#pragma once
// The database header (page 0): which Jet version wrote the file, and the fields Jet keeps in the
// RC4-masked region after offset 0x18: code page, database key, creation date and the password.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "jet/jet_format.h"

namespace jet {

class Header {
  public:
    static constexpr std::size_t kMaskStart = 0x18;
    static constexpr std::size_t kVersionOffset = 0x14;
    // Enough of the file to recognise it and read every header field, for either version.
    static constexpr std::size_t kProbeLength = kMaskStart + 128;

    // Parses the first bytes of the file as they lie on disk (at least kProbeLength of them).
    // Throws 3343 naming `path` when they are not a Jet 3 or Jet 4 header (ACE included).
    static Header parse(std::span<const std::uint8_t> onDisk, const std::string& path);

    const JetFormat& format() const { return *format_; }
    int codePage() const { return codePage_; }
    std::uint32_t databaseKey() const { return databaseKey_; }
    double creationDate() const { return creationDate_; }

    bool hasPassword() const;
    // The stored password as UTF-8 (up to the first NUL); "" when there is none.
    std::string password() const;
    // True when `candidate` (UTF-8) is the stored password, compared exactly (case matters).
    bool passwordMatches(std::string_view candidate) const;

    // The on-disk bytes of the password field holding `password` ("" for none), ready to be
    // written at passwordOffset(). Throws 3001 when it is too long or has no form in this file.
    std::vector<std::uint8_t> encodePasswordField(std::string_view password) const;
    std::size_t passwordOffset() const { return format_->headerPasswordOffset; }
    // Records a field written by encodePasswordField, so that this header stays the file's truth.
    void adoptPasswordField(std::span<const std::uint8_t> onDisk);

  private:
    // The password bytes with every mask removed: the plain text, zero-padded.
    std::vector<std::uint8_t> plainPassword() const;
    std::vector<std::uint8_t> plainFromText(std::string_view password) const;
    std::size_t storedTextLength(std::span<const std::uint8_t> plain) const;
    std::vector<std::uint8_t> dateMask() const;
    // Offset of a header field inside unmasked_.
    static std::size_t masked(std::size_t pageOffset) { return pageOffset - kMaskStart; }

    const JetFormat* format_ = nullptr;
    std::vector<std::uint8_t> unmasked_;   // the masked region, unmasked, from kMaskStart
    std::vector<std::uint8_t> keystream_;  // the fixed header mask for this version
    int codePage_ = 0;
    std::uint32_t databaseKey_ = 0;
    double creationDate_ = 0;
};

}  // namespace jet
