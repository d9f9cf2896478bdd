#pragma once
// The supported subwoofer models. Each class only supplies its row of the model table; the one
// object of each lives in the registry (Models.cpp) for the whole run.

#include "sublink/BaseConfig.h"

namespace CUsbController {

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
