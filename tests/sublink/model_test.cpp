#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sublink/BaseConfig.h"
#include "sublink/Models.h"
#include "sublink/ObjectRegistryImpl.h"

namespace CUsbController {
namespace {

TEST(ModelRegistry, HoldsTheTwentyModelsInTableOrder) {
    const std::vector<uint16_t> expected = {0x114, 0x113, 0x110, 0x112, 0x108, 0x102, 0x104,
                                            0x106, 0x103, 0x105, 0x107, 0x109, 0x111, 0x115,
                                            0x116, 0x117, 0x118, 0x119, 0x100, 0x101};
    std::vector<uint16_t> ids;
    for (const BaseConfig* model : RegisteredModels())
        ids.push_back(model->modelId);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(std::set<uint16_t>(ids.begin(), ids.end()).size(), ids.size());
}

TEST(ModelRegistry, EveryModelSharesTheEqualiserShapeAndReservedValues) {
    for (const BaseConfig* model : RegisteredModels()) {
        SCOPED_TRACE(model->ClassName());
        EXPECT_EQ(model->reservedA, 0);
        EXPECT_EQ(model->reservedB, 1);
        EXPECT_EQ(model->eqBandCount, 10);
        EXPECT_EQ(model->eqSampleRate, 3000);
        ASSERT_NE(model->flashConfig, nullptr);
        EXPECT_LT(model->lowerHz, model->upperHz);
        EXPECT_NE(model->flashConfig, static_cast<const BaseFlashConfig*>(&FlashNaFake()));
    }
}

TEST(ModelRegistry, FindsModelsByReleaseNumber) {
    const BaseConfig* fenlow1 = FindModelById(0x0111);
    ASSERT_NE(fenlow1, nullptr);
    EXPECT_STREQ(fenlow1->ClassName(), "Config_Fenlow1");
    EXPECT_EQ(fenlow1->displayName, L"Fenlow 1");
    EXPECT_EQ(FindModelById(0x011A), nullptr);
    EXPECT_EQ(FindModelById(0xFFFF), nullptr);  // an unreadable descriptor
    EXPECT_EQ(FindModelById(0), nullptr);
}

TEST(ModelRegistry, RowsCarryTheirTableValues) {
    const BaseConfig* kt2 = FindModelById(276);
    ASSERT_NE(kt2, nullptr);
    EXPECT_EQ(kt2->bootImageName, "platH_boot");
    EXPECT_EQ(kt2->shortCode, "KT2");
    EXPECT_EQ(kt2->displayName, L"KT2");
    EXPECT_EQ(kt2->x, 1);
    EXPECT_DOUBLE_EQ(kt2->lowerHz, 30.0);
    EXPECT_DOUBLE_EQ(kt2->upperHz, 350.0);
    EXPECT_STREQ(kt2->flashConfig->Name(), "FlashConfig_56F8037_V1");

    const BaseConfig* halvern2 = FindModelById(262);
    ASSERT_NE(halvern2, nullptr);
    EXPECT_EQ(halvern2->y, 8);
    EXPECT_EQ(halvern2->z, 8);
    EXPECT_EQ(halvern2->x, 0);

    const BaseConfig* dramin = FindModelById(278);
    ASSERT_NE(dramin, nullptr);
    EXPECT_EQ(dramin->displayName, L"Dramin Sub");
    EXPECT_EQ(dramin->shortCode, "DRMSub");
    EXPECT_EQ(dramin->bootImageName, "platC_boot");
    EXPECT_STREQ(dramin->flashConfig->Name(), "FlashConfig_56F8014_V1");
    EXPECT_DOUBLE_EQ(dramin->lowerHz, 35.0);
    EXPECT_DOUBLE_EQ(dramin->upperHz, 300.0);

    const BaseConfig* bostic3 = FindModelById(281);
    ASSERT_NE(bostic3, nullptr);
    EXPECT_EQ(bostic3->shortCode, "bos3");  // lower case as the device reports it
}

TEST(FlashLayouts, EqualiserBlocksSitWhereTheControllersKeepThem) {
    EXPECT_EQ(Flash56F8014().EqualiserBlock(), (MemoryBlock{224, 0, 30, 256}));
    EXPECT_EQ(Flash56F8037().EqualiserBlock(), (MemoryBlock{512, 0, 112, 0}));
    EXPECT_EQ(Flash56F8014().integers[5], 0x1C00);
    EXPECT_EQ(Flash56F8037().integers[5], 0x4000);
    EXPECT_EQ(FlashNaFake().integers[4], 32);
    for (const MemoryBlock& b : FlashNaFake().blocks)
        EXPECT_EQ(b, (MemoryBlock{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
}

// A family of its own, so adding and removing does not disturb the model table.
struct Probe : ObjectRegistry<Probe> {
    int tag;
    explicit Probe(int t) : tag(t) {}
};

std::vector<int> ProbeTags() {
    std::vector<int> tags;
    for (Probe* p : ObjectRegistry<Probe>::Objects())
        tags.push_back(p->tag);
    return tags;
}

TEST(ObjectRegistryTest, ObjectsJoinInOrderAndLeaveWhenDestroyed) {
    Probe a(1);
    {
        Probe b(2);
        Probe c(3);
        EXPECT_EQ(ProbeTags(), (std::vector<int>{1, 2, 3}));
    }
    EXPECT_EQ(ProbeTags(), (std::vector<int>{1}));
    Probe d(4);
    EXPECT_EQ(ProbeTags(), (std::vector<int>{1, 4}));
}

}  // namespace
}  // namespace CUsbController
