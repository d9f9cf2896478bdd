#pragma once
// Little-endian object archive used by measurement documents and curve files. An archive is
// either storing (into a growing byte buffer, optionally saved to a file afterwards) or loading
// (from a byte buffer or a whole file read into memory). Every read checks the bytes that remain
// and raises CArchiveException instead of reading past the end.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "threading/Errors.h"

// Run-time class information of an archive-serialisable type: class name and schema number.
struct CRuntimeClass {
    std::string_view className;
    unsigned schema;
};

class CArchive;

// Base of every archive-serialisable class. Slot order: class query, destructor, Serialize.
class CSerializable {
public:
    virtual const CRuntimeClass& GetRuntimeClass() const = 0;
    virtual ~CSerializable() = default;
    // Stores or loads, as the archive's direction says.
    virtual void Serialize(CArchive& ar) = 0;
};

// Raised on short or malformed archives and failed file access. The cause follows the
// framework's numbering; every read failure and failed allocation is cause 0 (generic).
class CArchiveException : public tsl::wruntime_error {
public:
    enum Cause : int {
        generic = 0,
        badIndex = 5,  // a count or length that does not fit the remaining bytes
        endOfFile = 9,
        fileError = 100,  // the file could not be opened, read or written
    };
    CArchiveException(int cause, std::wstring message)
        : tsl::wruntime_error(std::move(message)), cause_(cause) {}
    int cause() const noexcept { return cause_; }

private:
    int cause_;
};

class CArchive {
public:
    enum class Mode { Load, Store };

    // A storing archive writing into an empty memory buffer.
    CArchive();
    // A loading archive reading from the given bytes.
    explicit CArchive(std::vector<std::uint8_t> bytes);
    CArchive(const std::uint8_t* bytes, std::size_t length);

    // Reads a whole file into a loading archive (CArchiveException with cause fileError).
    static CArchive OpenForLoad(const std::filesystem::path& path);
    // Writes the stored bytes to a file (CArchiveException with cause fileError).
    void SaveToFile(const std::filesystem::path& path) const;

    bool IsStoring() const noexcept { return mode_ == Mode::Store; }
    bool IsLoading() const noexcept { return mode_ == Mode::Load; }

    // The stored bytes (storing) or the whole input (loading).
    const std::vector<std::uint8_t>& Buffer() const noexcept { return buffer_; }
    std::vector<std::uint8_t> TakeBuffer() noexcept;
    // Read position (loading) or bytes written (storing).
    std::size_t Position() const noexcept { return IsLoading() ? pos_ : buffer_.size(); }
    // Bytes not read yet (0 for a storing archive).
    std::size_t Remaining() const noexcept { return IsLoading() ? buffer_.size() - pos_ : 0; }
    // Throws CArchiveException(badIndex) unless count elements of elementSize bytes remain.
    void RequireAvailable(std::uint64_t count, std::size_t elementSize = 1) const;

    void WriteU8(std::uint8_t v);
    void WriteU16(std::uint16_t v);
    void WriteU32(std::uint32_t v);
    void WriteU64(std::uint64_t v);
    void WriteI8(std::int8_t v) { WriteU8(static_cast<std::uint8_t>(v)); }
    void WriteI16(std::int16_t v) { WriteU16(static_cast<std::uint16_t>(v)); }
    void WriteI32(std::int32_t v) { WriteU32(static_cast<std::uint32_t>(v)); }
    void WriteI64(std::int64_t v) { WriteU64(static_cast<std::uint64_t>(v)); }
    void WriteDouble(double v);
    void WriteFloat(float v);
    void WriteBytes(const void* data, std::size_t length);
    // Framework wide string: 0xFF, 0xFFFE, length form, UTF-16LE characters.
    void WriteString(const std::wstring& text);
    // Framework narrow string: length form and 8-bit characters (each character must be < 256).
    void WriteNarrowString(const std::wstring& text);

    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    std::uint64_t ReadU64();
    std::int8_t ReadI8() { return static_cast<std::int8_t>(ReadU8()); }
    std::int16_t ReadI16() { return static_cast<std::int16_t>(ReadU16()); }
    std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }
    std::int64_t ReadI64() { return static_cast<std::int64_t>(ReadU64()); }
    double ReadDouble();
    float ReadFloat();
    void ReadBytes(void* data, std::size_t length);
    std::vector<std::uint8_t> ReadBlock(std::size_t length);
    // Reads the wide or the narrow form (narrow characters are taken as Latin-1). A length above
    // maxLength is refused before anything is allocated.
    std::wstring ReadString(std::uint64_t maxLength = UINT64_MAX);

private:
    const std::uint8_t* Take(std::size_t length);
    void Append(const void* data, std::size_t length);
    std::uint64_t ReadStringLength(bool& wide);
    void WriteStringLength(std::uint32_t length);

    Mode mode_;
    std::vector<std::uint8_t> buffer_;
    std::size_t pos_ = 0;
};
