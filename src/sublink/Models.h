#pragma once
// The supported subwoofer models. Each class only supplies its row of the model table; the one
// object of each lives in the registry (Models.cpp) for the whole run.

#include <cstdint>

#include "sublink/BaseConfig.h"

namespace CUsbController {

// The model identifiers the subwoofers report.
namespace ModelId {
inline constexpr uint16_t kKettrin2 = 0x114;
inline constexpr uint16_t kKettrin1 = 0x113;
inline constexpr uint16_t kJorvan1 = 0x110;
inline constexpr uint16_t kJorvan2 = 0x112;
inline constexpr uint16_t kHalvern3 = 0x108;
inline constexpr uint16_t kIstrel1 = 0x102;
inline constexpr uint16_t kHalvern1 = 0x104;
inline constexpr uint16_t kHalvern2 = 0x106;
inline constexpr uint16_t kGorvik1 = 0x103;
inline constexpr uint16_t kGorvik2 = 0x105;
inline constexpr uint16_t kGorvik3 = 0x107;
inline constexpr uint16_t kFenlow2 = 0x109;
inline constexpr uint16_t kFenlow1 = 0x111;
inline constexpr uint16_t kElvarSub = 0x115;
inline constexpr uint16_t kDraminSub = 0x116;
inline constexpr uint16_t kBostic1 = 0x117;
inline constexpr uint16_t kBostic2 = 0x118;
inline constexpr uint16_t kBostic3 = 0x119;
inline constexpr uint16_t kAvrel1 = 0x100;
inline constexpr uint16_t kAvrel2 = 0x101;
}  // namespace ModelId

class Config_Kettrin2 : public BaseConfig {
public:
    Config_Kettrin2();
};

class Config_Kettrin1 : public BaseConfig {
public:
    Config_Kettrin1();
};

class Config_Jorvan1 : public BaseConfig {
public:
    Config_Jorvan1();
};

class Config_Jorvan2 : public BaseConfig {
public:
    Config_Jorvan2();
};

class Config_Halvern3 : public BaseConfig {
public:
    Config_Halvern3();
};

class Config_Istrel1 : public BaseConfig {
public:
    Config_Istrel1();
};

class Config_Halvern1 : public BaseConfig {
public:
    Config_Halvern1();
};

class Config_Halvern2 : public BaseConfig {
public:
    Config_Halvern2();
};

class Config_Gorvik1 : public BaseConfig {
public:
    Config_Gorvik1();
};

class Config_Gorvik2 : public BaseConfig {
public:
    Config_Gorvik2();
};

class Config_Gorvik3 : public BaseConfig {
public:
    Config_Gorvik3();
};

class Config_Fenlow2 : public BaseConfig {
public:
    Config_Fenlow2();
};

class Config_Fenlow1 : public BaseConfig {
public:
    Config_Fenlow1();
};

class Config_ElvarSub : public BaseConfig {
public:
    Config_ElvarSub();
};

class Config_DraminSub : public BaseConfig {
public:
    Config_DraminSub();
};

class Config_Bostic1 : public BaseConfig {
public:
    Config_Bostic1();
};

class Config_Bostic2 : public BaseConfig {
public:
    Config_Bostic2();
};

class Config_Bostic3 : public BaseConfig {
public:
    Config_Bostic3();
};

class Config_Avrel1 : public BaseConfig {
public:
    Config_Avrel1();
};

class Config_Avrel2 : public BaseConfig {
public:
    Config_Avrel2();
};

}  // namespace CUsbController
