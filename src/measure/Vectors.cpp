#include "measure/Vectors.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

const CRuntimeClass kDbleVectClass{"DbleVect", 1};
const CRuntimeClass kIndexVectorClass{"CIndexVector", 1};
const CRuntimeClass kComplexVectorClass{"CComplexVector", 1};

std::unique_ptr<double[]> Allocate(std::int64_t n, bool zeroed = true) {
    if (n >= DbleVect::kMaxCount) {
        throw std::bad_alloc();
    }
    if (!zeroed) {
        return std::unique_ptr<double[]>(new double[static_cast<std::size_t>(n)]);
    }
    return std::unique_ptr<double[]>(new double[static_cast<std::size_t>(n)]());
}

[[noreturn]] void ThrowMalformed() {
    throw CArchiveException(CArchiveException::generic, L"The file is damaged or incomplete.");
}

}  // namespace

DbleVect::DbleVect(int n) {
    if (n > 0) {
        data_ = Allocate(n);
        count_ = capacity_ = n;
    }
}

DbleVect DbleVect::Uninitialized(int n) {
    DbleVect v;
    if (n > 0) {
        v.data_ = Allocate(n, false);
        v.count_ = v.capacity_ = n;
    }
    return v;
}

DbleVect::DbleVect(const DbleVect& other) : CSerializable() {
    if (other.count_ > 0) {
        data_ = Allocate(other.count_, false);
        std::memcpy(data_.get(), other.data_.get(), sizeof(double) * other.count_);
        count_ = capacity_ = other.count_;
    }
}

DbleVect& DbleVect::operator=(const DbleVect& other) {
    if (this != &other) {
        DbleVect copy(other);
        *this = std::move(copy);
    }
    return *this;
}

DbleVect::DbleVect(DbleVect&& other) noexcept
    : data_(std::move(other.data_)), count_(other.count_), capacity_(other.capacity_) {
    other.count_ = other.capacity_ = 0;
}

DbleVect& DbleVect::operator=(DbleVect&& other) noexcept {
    if (this != &other) {
        data_ = std::move(other.data_);
        count_ = other.count_;
        capacity_ = other.capacity_;
        other.count_ = other.capacity_ = 0;
    }
    return *this;
}

void DbleVect::Resize(int n) {
    if (n == count_) {
        return;
    }
    if (n < 1) {
        data_.reset();
        count_ = capacity_ = 0;
        return;
    }
    if (n < count_) {
        count_ = n;
        return;
    }
    if (n <= capacity_) {
        // Storage kept by an earlier shrink: the new tail is zero as for a fresh array.
        std::fill(data_.get() + count_, data_.get() + n, 0.0);
        count_ = n;
        return;
    }
    auto grown = Allocate(n);
    if (count_ > 0) {
        std::memcpy(grown.get(), data_.get(), sizeof(double) * count_);
    }
    data_ = std::move(grown);
    count_ = capacity_ = n;
}

const CRuntimeClass& DbleVect::GetRuntimeClass() const {
    return kDbleVectClass;
}

void DbleVect::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        Store(ar);
    } else {
        Load(ar);
    }
}

void DbleVect::Store(CArchive& ar) const {
    ar.WriteI32(count_);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data_.get());
    const std::size_t total = sizeof(double) * static_cast<std::size_t>(count_);
    for (std::size_t done = 0; done < total; done += kPieceBytes) {
        ar.WriteBytes(bytes + done, std::min(kPieceBytes, total - done));
    }
}

void DbleVect::Load(CArchive& ar) {
    const std::int32_t n = ar.ReadI32();
    if (n <= 0) {
        Resize(0);
        return;
    }
    // The count must fit the bytes that remain before anything is allocated.
    if (static_cast<std::uint64_t>(n) > ar.Remaining() / sizeof(double)) {
        throw CArchiveException(CArchiveException::generic, L"The file is damaged or incomplete.");
    }
    if (n != count_) {
        try {
            data_ = Allocate(n);
        } catch (const std::bad_alloc&) {
            Resize(0);
            throw CArchiveException(CArchiveException::generic, L"Out of memory.");
        }
        count_ = capacity_ = n;
    }
    auto* bytes = reinterpret_cast<std::uint8_t*>(data_.get());
    const std::size_t total = sizeof(double) * static_cast<std::size_t>(n);
    for (std::size_t done = 0; done < total; done += kPieceBytes) {
        ar.ReadBytes(bytes + done, std::min(kPieceBytes, total - done));
    }
}

const CRuntimeClass& CIndexVector::GetRuntimeClass() const {
    return kIndexVectorClass;
}

void CIndexVector::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        Store(ar);
    } else {
        Load(ar);
    }
}

void CIndexVector::Store(CArchive& ar) const {
    ar.WriteU16(static_cast<std::uint16_t>(kind));
    values.Store(ar);
}

void CIndexVector::Load(CArchive& ar) {
    const std::uint16_t k = ar.ReadU16();
    if (k > static_cast<std::uint16_t>(AxisKind::Time)) {
        ThrowMalformed();
    }
    kind = static_cast<AxisKind>(k);
    values.Load(ar);
}

const CRuntimeClass& CComplexVector::GetRuntimeClass() const {
    return kComplexVectorClass;
}

void CComplexVector::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        Store(ar);
    } else {
        Load(ar);
    }
}

void CComplexVector::Store(CArchive& ar) const {
    ar.WriteU16(static_cast<std::uint16_t>(format));
    first.Store(ar);
    second.Store(ar);
}

void CComplexVector::Load(CArchive& ar) {
    const std::uint16_t f = ar.ReadU16();
    if (f > static_cast<std::uint16_t>(DataFormat::DbPhase)) {
        ThrowMalformed();
    }
    format = static_cast<DataFormat>(f);
    first.Load(ar);
    second.Load(ar);
    if (first.Count() != second.Count()) {
        ThrowMalformed();
    }
}
