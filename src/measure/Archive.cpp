#include "measure/Archive.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <limits>

static_assert(std::endian::native == std::endian::little, "archive code assumes little-endian");

namespace {

[[noreturn]] void ThrowShort() {
    throw CArchiveException(CArchiveException::generic, L"The file is damaged or incomplete.");
}

}  // namespace

CArchive::CArchive() : mode_(Mode::Store) {}

CArchive::CArchive(std::vector<std::uint8_t> bytes)
    : mode_(Mode::Load), buffer_(std::move(bytes)) {}

CArchive::CArchive(const std::uint8_t* bytes, std::size_t length)
    : mode_(Mode::Load), buffer_(bytes, bytes + length) {}

CArchive CArchive::OpenForLoad(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw CArchiveException(CArchiveException::fileError,
                                L"The file \"" + path.wstring() + L"\" could not be opened.");
    }
    std::vector<std::uint8_t> bytes;
    char piece[32768];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        bytes.insert(bytes.end(), piece, piece + in.gcount());
    }
    if (in.bad()) {
        throw CArchiveException(CArchiveException::fileError,
                                L"The file \"" + path.wstring() + L"\" could not be read.");
    }
    return CArchive(std::move(bytes));
}

void CArchive::SaveToFile(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(reinterpret_cast<const char*>(buffer_.data()),
                  static_cast<std::streamsize>(buffer_.size()));
    }
    if (!out) {
        throw CArchiveException(CArchiveException::fileError,
                                L"The file \"" + path.wstring() + L"\" could not be written.");
    }
}

std::vector<std::uint8_t> CArchive::TakeBuffer() noexcept {
    pos_ = 0;
    return std::move(buffer_);
}

void CArchive::RequireAvailable(std::uint64_t count, std::size_t elementSize) const {
    const std::uint64_t remaining = Remaining();
    if (elementSize != 0 && count > remaining / elementSize) {
        throw CArchiveException(CArchiveException::badIndex, L"The file is damaged or incomplete.");
    }
}

const std::uint8_t* CArchive::Take(std::size_t length) {
    if (!IsLoading() || length > buffer_.size() - pos_) {
        ThrowShort();
    }
    const std::uint8_t* p = buffer_.data() + pos_;
    pos_ += length;
    return p;
}

void CArchive::Append(const void* data, std::size_t length) {
    if (!IsStoring()) {
        throw CArchiveException(CArchiveException::generic,
                                L"The archive is not open for writing.");
    }
    const auto* p = static_cast<const std::uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + length);
}

void CArchive::WriteU8(std::uint8_t v) {
    Append(&v, 1);
}
void CArchive::WriteU16(std::uint16_t v) {
    Append(&v, 2);
}
void CArchive::WriteU32(std::uint32_t v) {
    Append(&v, 4);
}
void CArchive::WriteU64(std::uint64_t v) {
    Append(&v, 8);
}
void CArchive::WriteDouble(double v) {
    Append(&v, 8);
}
void CArchive::WriteFloat(float v) {
    Append(&v, 4);
}
void CArchive::WriteBytes(const void* data, std::size_t length) {
    if (length != 0) {
        Append(data, length);
    }
}

std::uint8_t CArchive::ReadU8() {
    return *Take(1);
}

std::uint16_t CArchive::ReadU16() {
    std::uint16_t v;
    std::memcpy(&v, Take(2), 2);
    return v;
}

std::uint32_t CArchive::ReadU32() {
    std::uint32_t v;
    std::memcpy(&v, Take(4), 4);
    return v;
}

std::uint64_t CArchive::ReadU64() {
    std::uint64_t v;
    std::memcpy(&v, Take(8), 8);
    return v;
}

double CArchive::ReadDouble() {
    double v;
    std::memcpy(&v, Take(8), 8);
    return v;
}

float CArchive::ReadFloat() {
    float v;
    std::memcpy(&v, Take(4), 4);
    return v;
}

void CArchive::ReadBytes(void* data, std::size_t length) {
    if (length != 0) {
        std::memcpy(data, Take(length), length);
    }
}

std::vector<std::uint8_t> CArchive::ReadBlock(std::size_t length) {
    const std::uint8_t* p = Take(length);
    return std::vector<std::uint8_t>(p, p + length);
}

void CArchive::WriteStringLength(std::uint32_t length) {
    if (length < 0xFF) {
        WriteU8(static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<std::uint16_t>(length));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(length);
    }
}

void CArchive::WriteString(const std::wstring& text) {
    std::vector<std::uint16_t> units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            cp -= 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    WriteStringLength(static_cast<std::uint32_t>(units.size()));
    for (std::uint16_t u : units) {
        WriteU16(u);
    }
}

void CArchive::WriteNarrowString(const std::wstring& text) {
    WriteStringLength(static_cast<std::uint32_t>(text.size()));
    for (wchar_t c : text) {
        WriteU8(static_cast<std::uint32_t>(c) < 0x100 ? static_cast<std::uint8_t>(c) : '?');
    }
}

std::uint64_t CArchive::ReadStringLength(bool& wide) {
    wide = false;
    // At most one wide marker may precede the length.
    for (int marker = 0; marker < 2; ++marker) {
        const std::uint8_t b = ReadU8();
        if (b < 0xFF) {
            return b;
        }
        const std::uint16_t w = ReadU16();
        if (w == 0xFFFE) {
            if (wide) {
                break;
            }
            wide = true;
            continue;
        }
        if (w < 0xFFFF) {
            return w;
        }
        const std::uint32_t d = ReadU32();
        if (d == 0xFFFFFFFF) {
            break;  // 64-bit lengths never fit an archive we accept
        }
        return d;
    }
    throw CArchiveException(CArchiveException::badIndex, L"The file is damaged or incomplete.");
}

std::wstring CArchive::ReadString(std::uint64_t maxLength) {
    bool wide = false;
    const std::uint64_t length = ReadStringLength(wide);
    if (length > maxLength) {
        throw CArchiveException(
            CArchiveException::badIndex,
            L"A text in the file is longer than " + std::to_wstring(maxLength) + L" characters.");
    }
    RequireAvailable(length, wide ? 2 : 1);
    std::wstring text;
    text.reserve(static_cast<std::size_t>(length));
    if (!wide) {
        const std::uint8_t* p = Take(static_cast<std::size_t>(length));
        for (std::uint64_t i = 0; i < length; ++i) {
            text.push_back(static_cast<wchar_t>(p[i]));
        }
        return text;
    }
    for (std::uint64_t i = 0; i < length; ++i) {
        std::uint32_t u = ReadU16();
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < length) {
            const std::uint16_t low = ReadU16();
            ++i;
            if (low >= 0xDC00 && low < 0xE000 && sizeof(wchar_t) == 2) {
                // UTF-16 text keeps the pair (Windows).
                text.push_back(static_cast<wchar_t>(u));
                u = low;
                text.push_back(static_cast<wchar_t>(u));
                continue;
            }
            if (low >= 0xDC00 && low < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00u);
            } else {
                text.push_back(static_cast<wchar_t>(0xFFFD));
                u = low;
            }
        }
        // A surrogate left unpaired is not a character.
        text.push_back(static_cast<wchar_t>((u >= 0xD800 && u < 0xE000) ? 0xFFFD : u));
    }
    return text;
}
