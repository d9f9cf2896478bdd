#include "sublink/Models.h"

#include "sublink/ObjectRegistryImpl.h"

namespace CUsbController {

Config_Kettrin2::Config_Kettrin2()
    : BaseConfig({"Config_Kettrin2", "platH_boot", "KT2", L"KT2", ModelId::kKettrin2,
                  &Flash56F8037(), 30.0, 350.0, 1, 6, 6}) {}

Config_Kettrin1::Config_Kettrin1()
    : BaseConfig({"Config_Kettrin1", "platI_boot", "KT1", L"KT1", ModelId::kKettrin1,
                  &Flash56F8014(), 35.0, 300.0, 1, 6, 6}) {}

Config_Jorvan1::Config_Jorvan1()
    : BaseConfig({"Config_Jorvan1", "platH_boot", "JV1", L"Jorvan 1", ModelId::kJorvan1,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6}) {}

Config_Jorvan2::Config_Jorvan2()
    : BaseConfig({"Config_Jorvan2", "platH_boot", "JV2", L"Jorvan 2", ModelId::kJorvan2,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6}) {}

Config_Halvern3::Config_Halvern3()
    : BaseConfig({"Config_Halvern3", "platG_boot", "HV3", L"Halvern 3", ModelId::kHalvern3,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6}) {}

Config_Istrel1::Config_Istrel1()
    : BaseConfig({"Config_Istrel1", "platH_boot", "IS1", L"Istrel 1", ModelId::kIstrel1,
                  &Flash56F8037(), 30.0, 350.0, 0, 6, 6}) {}

Config_Halvern1::Config_Halvern1()
    : BaseConfig({"Config_Halvern1", "platH_boot", "HV1", L"Halvern 1", ModelId::kHalvern1,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6}) {}

Config_Halvern2::Config_Halvern2()
    : BaseConfig({"Config_Halvern2", "platG_boot", "HV2", L"Halvern 2", ModelId::kHalvern2,
                  &Flash56F8037(), 20.0, 350.0, 0, 8, 8}) {}

Config_Gorvik1::Config_Gorvik1()
    : BaseConfig({"Config_Gorvik1", "platF_boot", "GV1", L"Gorvik 1", ModelId::kGorvik1,
                  &Flash56F8014(), 35.0, 300.0, 0, 6, 6}) {}

Config_Gorvik2::Config_Gorvik2()
    : BaseConfig({"Config_Gorvik2", "platD_boot", "GV2", L"Gorvik 2", ModelId::kGorvik2,
                  &Flash56F8014(), 35.0, 300.0, 0, 6, 6}) {}

Config_Gorvik3::Config_Gorvik3()
    : BaseConfig({"Config_Gorvik3", "platD_boot", "GV3", L"Gorvik 3", ModelId::kGorvik3,
                  &Flash56F8014(), 35.0, 300.0, 0, 6, 6}) {}

Config_Fenlow2::Config_Fenlow2()
    : BaseConfig({"Config_Fenlow2", "platE_boot", "FN2", L"Fenlow 2", ModelId::kFenlow2,
                  &Flash56F8014(), 30.0, 350.0, 0, 6, 6}) {}

Config_Fenlow1::Config_Fenlow1()
    : BaseConfig({"Config_Fenlow1", "platE_boot", "FN1", L"Fenlow 1", ModelId::kFenlow1,
                  &Flash56F8014(), 30.0, 350.0, 0, 6, 6}) {}

Config_ElvarSub::Config_ElvarSub()
    : BaseConfig({"Config_ElvarSub", "platD_boot", "ELVSub", L"ELVSub", ModelId::kElvarSub,
                  &Flash56F8014(), 35.0, 300.0, 0, 6, 6}) {}

Config_DraminSub::Config_DraminSub()
    : BaseConfig({"Config_DraminSub", "platC_boot", "DRMSub", L"Dramin Sub", ModelId::kDraminSub,
                  &Flash56F8014(), 35.0, 300.0, 0, 6, 6}) {}

Config_Bostic1::Config_Bostic1()
    : BaseConfig({"Config_Bostic1", "platB_boot", "bos1", L"Bostic 1", ModelId::kBostic1,
                  &Flash56F8037(), 35.0, 300.0, 0, 6, 6}) {}

Config_Bostic2::Config_Bostic2()
    : BaseConfig({"Config_Bostic2", "platB_boot", "bos2", L"Bostic 2", ModelId::kBostic2,
                  &Flash56F8037(), 35.0, 300.0, 0, 6, 6}) {}

Config_Bostic3::Config_Bostic3()
    : BaseConfig({"Config_Bostic3", "platB_boot", "bos3", L"Bostic 3", ModelId::kBostic3,
                  &Flash56F8037(), 35.0, 300.0, 0, 6, 6}) {}

Config_Avrel1::Config_Avrel1()
    : BaseConfig({"Config_Avrel1", "platA_boot", "AV1", L"Avrel 1", ModelId::kAvrel1,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6, true}) {}

Config_Avrel2::Config_Avrel2()
    : BaseConfig({"Config_Avrel2", "platA_boot", "AV2", L"Avrel 2", ModelId::kAvrel2,
                  &Flash56F8037(), 20.0, 350.0, 0, 6, 6, true}) {}

namespace {

// Members are constructed in declaration order, which is the registry order.
struct ModelTable {
    Config_Kettrin2 kettrin2;
    Config_Kettrin1 kettrin1;
    Config_Jorvan1 jorvan1;
    Config_Jorvan2 jorvan2;
    Config_Halvern3 halvern3;
    Config_Istrel1 istrel1;
    Config_Halvern1 halvern1;
    Config_Halvern2 halvern2;
    Config_Gorvik1 gorvik1;
    Config_Gorvik2 gorvik2;
    Config_Gorvik3 gorvik3;
    Config_Fenlow2 fenlow2;
    Config_Fenlow1 fenlow1;
    Config_ElvarSub elvarSub;
    Config_DraminSub draminSub;
    Config_Bostic1 bostic1;
    Config_Bostic2 bostic2;
    Config_Bostic3 bostic3;
    Config_Avrel1 avrel1;
    Config_Avrel2 avrel2;
};

ModelTable& Table() {
    static ModelTable table;
    return table;
}

// Builds the table during static initialisation, before anything looks a model up.
[[maybe_unused]] const ModelTable& kBuiltAtStart = Table();

}  // namespace

template class ObjectRegistry<BaseConfig>;

template <>
std::vector<BaseConfig*> ObjectRegistry<BaseConfig>::Objects() {
    Table();
    return detail::RegistryList<BaseConfig>::Get().Snapshot();
}

std::vector<const BaseConfig*> RegisteredModels() {
    auto models = ObjectRegistry<BaseConfig>::Objects();
    return {models.begin(), models.end()};
}

const BaseConfig* FindModelById(uint16_t id) {
    for (const BaseConfig* model : RegisteredModels()) {
        if (model->modelId == id)
            return model;
    }
    return nullptr;
}

}  // namespace CUsbController
