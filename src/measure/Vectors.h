#pragma once
// The numeric vectors a curve is made of: DbleVect (a growable double array), CIndexVector (the
// axis) and CComplexVector (two components in one of three representations).

#include <cstdint>
#include <memory>

#include "measure/Archive.h"

enum class AxisKind : int { Frequency = 0, Time = 1 };
enum class DataFormat : int { Cartesian = 0, MagPhase = 1, DbPhase = 2 };

class DbleVect : public CSerializable {
public:
    // Requests of this many elements or more fail with std::bad_alloc.
    static constexpr std::int64_t kMaxCount = std::int64_t{1} << 29;
    // Archive reads and writes move the values in pieces of at most this many bytes.
    static constexpr std::size_t kPieceBytes = 32768;

    DbleVect() = default;
    // n elements, zero-filled; n <= 0 gives an empty vector.
    explicit DbleVect(int n);
    // n elements left unset, for a vector the caller fills completely at once (no page of it is
    // written twice).
    static DbleVect Uninitialized(int n);
    DbleVect(const DbleVect& other);
    DbleVect& operator=(const DbleVect& other);
    DbleVect(DbleVect&& other) noexcept;
    DbleVect& operator=(DbleVect&& other) noexcept;
    ~DbleVect() override = default;

    int Count() const noexcept { return count_; }
    bool Empty() const noexcept { return count_ == 0; }
    double* Data() noexcept { return data_.get(); }
    const double* Data() const noexcept { return data_.get(); }
    double& operator[](int i) noexcept { return data_[i]; }
    double operator[](int i) const noexcept { return data_[i]; }
    double* begin() noexcept { return data_.get(); }
    double* end() noexcept { return data_.get() + count_; }
    const double* begin() const noexcept { return data_.get(); }
    const double* end() const noexcept { return data_.get() + count_; }

    // Same n: nothing; n < 1: frees; n below the count: lowers the count; above: grows with
    // zeros.
    void Resize(int n);

    const CRuntimeClass& GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);

private:
    std::unique_ptr<double[]> data_;
    int count_ = 0;
    int capacity_ = 0;
};

class CIndexVector : public CSerializable {
public:
    AxisKind kind = AxisKind::Frequency;
    DbleVect values;  // ascending by convention; nothing checks it

    int Count() const noexcept { return values.Count(); }
    double operator[](int i) const noexcept { return values[i]; }

    const CRuntimeClass& GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    void Store(CArchive& ar) const;
    void Load(CArchive& ar);
};

class CComplexVector : public CSerializable {
public:
    DataFormat format = DataFormat::Cartesian;
    DbleVect first;   // real part, linear magnitude or level in dB
    DbleVect second;  // imaginary part or phase in radians

    int Count() const noexcept { return first.Count(); }

    const CRuntimeClass& GetRuntimeClass() const override;
    void Serialize(CArchive& ar) override;
    void Store(CArchive& ar) const;
    // Raises CArchiveException when the two components differ in count.
    void Load(CArchive& ar);
};
