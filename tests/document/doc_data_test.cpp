// The document record's reset and move, and the document's new, open and save.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "document/DocBytes.h"
#include "document/DocFile.h"
#include "document/TessalineDoc.h"
#include "measure/Curve.h"
#include "measure/FakePrompt.h"

namespace fs = std::filesystem;

namespace {

void Fill(DocData& d) {
    d.results.push_back(std::make_shared<CCurve>());
    d.measurements.push_back(std::make_shared<CCurve>());
    d.measurements.push_back(std::make_shared<CCurve>());
    d.eq.gain = 1.5;
    d.eq.valid = 1;
    d.eq.bands.assign(3, EqBand{1, 0.1, 0.1, 0.1, 0.1, 0.1, 1});
    d.crossover = 90;
    d.minEqFreq = 30;
    d.hpFreq = 25;
    d.hpOrder = 3;
    d.modelId = 7;
    d.fitLower = 15.0;
    d.fitUpper = 200.0;
    d.colours = {1, 2, 3};
    d.name = L"Model X";
    d.micSerial = 1234;
    d.unitSerial = 5;
    d.calImage = std::make_shared<std::vector<uint8_t>>(10, 0xAB);
    d.calImageLength = 10;
    d.storedValue = 44;
    d.calVersion = 2;
}

fs::path TempPath(const std::string& stem) {
    std::random_device r;
    return fs::temp_directory_path() / (stem + std::to_string(r()) + ".CVD");
}

}  // namespace

TEST(DocDataState, ConstructionEndsReset) {
    DocData d;
    EXPECT_TRUE(d.results.empty());
    EXPECT_EQ(d.eq, EraseDefault(10));
    EXPECT_EQ(d.crossover, 0);
    EXPECT_EQ(d.minEqFreq, 20);
    EXPECT_EQ(d.hpFreq, 20);
    EXPECT_EQ(d.colours, (std::array<uint32_t, 3>{255, 16711680, 8388736}));
    EXPECT_EQ(d.name, L"Subwoofer");
    EXPECT_EQ(d.micSerial, 0u);
    EXPECT_FALSE(d.calImage);
    EXPECT_EQ(d.calVersion, 1);
}

TEST(DocDataState, ResetKeepsSerialsAndBandCount) {
    DocData d;
    Fill(d);
    const std::weak_ptr<CCurve> curve = d.results[0];
    d.Reset();
    EXPECT_TRUE(curve.expired());
    EXPECT_TRUE(d.measurements.empty());
    EXPECT_EQ(d.eq, EraseDefault(3));
    EXPECT_EQ(d.crossover, 0);
    EXPECT_EQ(d.hpOrder, 0);
    EXPECT_EQ(d.modelId, 0);
    EXPECT_EQ(d.fitUpper, 0.0);
    EXPECT_EQ(d.name, L"Subwoofer");
    EXPECT_EQ(d.micSerial, 1234u);
    EXPECT_EQ(d.unitSerial, 5u);
    EXPECT_FALSE(d.calImage);
    EXPECT_EQ(d.calImageLength, 0u);
    EXPECT_EQ(d.storedValue, 0u);
    EXPECT_EQ(d.calVersion, 1);
}

TEST(DocDataState, MoveFromTakesCurvesAndLeavesTheSourceEmptied) {
    DocData source;
    Fill(source);
    const CCurve* first = source.measurements[0].get();
    const auto image = source.calImage;
    DocData dest;
    dest.results.push_back(std::make_shared<CCurve>());
    dest.MoveFrom(source);

    ASSERT_EQ(dest.measurements.size(), 2u);
    EXPECT_EQ(dest.measurements[0].get(), first);  // moved, not copied
    EXPECT_EQ(dest.results.size(), 1u);
    EXPECT_EQ(dest.eq.bands.size(), 3u);
    EXPECT_EQ(dest.crossover, 90);
    EXPECT_EQ(dest.fitLower, 15.0);
    EXPECT_EQ(dest.colours, (std::array<uint32_t, 3>{1, 2, 3}));
    EXPECT_EQ(dest.name, L"Model X");
    EXPECT_EQ(dest.micSerial, 1234u);
    EXPECT_EQ(dest.calImage, image);  // shared
    EXPECT_EQ(dest.calImageLength, 10u);
    EXPECT_EQ(dest.storedValue, 44u);
    EXPECT_EQ(dest.calVersion, 2);

    EXPECT_TRUE(source.results.empty());
    EXPECT_TRUE(source.measurements.empty());
    EXPECT_FALSE(source.calImage);
    EXPECT_EQ(source.calImageLength, 0u);
    EXPECT_EQ(source.micSerial, 0u);
    EXPECT_EQ(source.unitSerial, 0u);
    EXPECT_EQ(source.storedValue, 0u);
    EXPECT_EQ(source.calVersion, 1);
    EXPECT_EQ(source.name, L"Subwoofer");
    EXPECT_EQ(source.crossover, 90);  // other fields keep their values
    EXPECT_EQ(source.eq.gain, 1.5);
}

TEST(TessalineDocument, TemplatesNameBothBrands) {
    EXPECT_EQ(std::wstring(DocTemplateString(Brand::Main)),
              L"Tessaline\n\nTessaline\nTessaline Files (*.CVD)\n.CVD\nTessaline.Document\n"
              L"Tessaline.Document");
    EXPECT_EQ(std::wstring(DocFileExtension(Brand::Second)), L".KTSL");
}

TEST(TessalineDocument, SaveAndOpenRoundTrip) {
    const fs::path path = TempPath("tsl_doc_");
    CTessalineDoc doc;
    Fill(doc.Data());
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.PathName(), path);
    // Nothing but the target is left in the folder.
    for (const auto& item : fs::directory_iterator(path.parent_path()))
        EXPECT_EQ(item.path().string().find(path.filename().string() + ".tmp"), std::string::npos);

    CTessalineDoc other;
    ASSERT_TRUE(other.OnOpenDocument(path));
    EXPECT_EQ(other.Data().measurements.size(), 2u);
    EXPECT_EQ(other.Data().name, L"Model X");
    EXPECT_EQ(other.Data().calVersion, 2);

    ASSERT_TRUE(other.OnNewDocument());
    EXPECT_TRUE(other.Data().measurements.empty());
    EXPECT_TRUE(other.PathName().empty());
    fs::remove(path);
}

TEST(TessalineDocument, BadVersionShowsTheMessageAndStaysReset) {
    const fs::path path = TempPath("tsl_doc_bad_");
    testdoc::Bytes b;
    b.u32(9);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.b.data()), 4);
    }
    testcal::FakePrompt prompt;
    CTessalineDoc doc(&prompt);
    Fill(doc.Data());
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_EQ(prompt.boxes[0].text,
              L"The document \"" + path.wstring() + L"\" could not be opened:\nBad file format");
    EXPECT_EQ(prompt.boxes[0].icon, Threading::MsgIcon::Error);
    EXPECT_TRUE(doc.Data().measurements.empty());
    EXPECT_EQ(doc.Data().name, L"Subwoofer");
    EXPECT_TRUE(doc.PathName().empty());
    fs::remove(path);
}

TEST(TessalineDocument, DamagedFileRaisesAndLeavesTheDocumentReset) {
    const fs::path path = TempPath("tsl_doc_short_");
    {
        std::ofstream out(path, std::ios::binary);
        out.write("\x08\x00\x00\x00\x01", 5);
    }
    CTessalineDoc doc;
    Fill(doc.Data());
    EXPECT_THROW(doc.OnOpenDocument(path), CArchiveException);
    EXPECT_TRUE(doc.Data().results.empty());
    EXPECT_EQ(doc.Data().crossover, 0);
    fs::remove(path);
}

TEST(TessalineDocument, FailedSaveKeepsThePreviousFile) {
    const fs::path dir = TempPath("tsl_doc_dir_");
    fs::create_directories(dir);
    const fs::path path = dir / "keep.CVD";
    CTessalineDoc doc;
    ASSERT_TRUE(doc.OnSaveDocument(path));
    const auto size = fs::file_size(path);
    // A directory squatting on the target name makes the final rename fail.
    const fs::path blocked = dir / "blocked.CVD";
    fs::create_directories(blocked / "inside");
    Fill(doc.Data());
    EXPECT_THROW(doc.OnSaveDocument(blocked), CArchiveException);
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
    EXPECT_EQ(fs::file_size(path), size);
    EXPECT_THROW(doc.OnSaveDocument(dir / "missing" / "x.CVD"), CArchiveException);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 2u);  // keep.CVD and blocked.CVD: no temporary left behind
    fs::remove_all(dir);
}

namespace {

#ifndef _WIN32
unsigned ModeOf(const fs::path& p) {
    return static_cast<unsigned>(fs::status(p).permissions()) & 0777u;
}
#endif

// The disk fills up when the file is closed.
struct FullAtClose : Threading::FileCalls {
    int Close(int fd) override {
        FileCalls::Close(fd);
        return ENOSPC;
    }
};

}  // namespace

TEST(TessalineDocument, SaveKeepsTheModeWritesThroughLinksAndRefusesReadOnlyFiles) {
    const fs::path dir = TempPath("tsl_doc_mode_");
    fs::create_directories(dir);
    const fs::path file = dir / "private.CVD";
    CTessalineDoc doc;
    ASSERT_TRUE(doc.OnSaveDocument(file));
    Fill(doc.Data());
#ifdef _WIN32
    // Windows files have no mode and links are rare: only the read-only attribute counts.
    doc.Data().crossover = 120;
    ASSERT_TRUE(doc.OnSaveDocument(file));
#else
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(doc.OnSaveDocument(file));
    EXPECT_EQ(ModeOf(file), 0600u);

    fs::create_symlink("private.CVD", dir / "link.CVD");
    doc.Data().crossover = 120;
    ASSERT_TRUE(doc.OnSaveDocument(dir / "link.CVD"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.CVD"));
#endif
    DocData read;
    ReadDocFile(file, read);
    EXPECT_EQ(read.crossover, 120);

    fs::permissions(file, fs::perms::owner_read);
    doc.Data().crossover = 50;
    try {
        doc.OnSaveDocument(file);
        ADD_FAILURE() << "a read-only document was replaced";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.wwhat(), L"The file \"" + file.wstring() +
                                 L"\" could not be written: the file is read-only.");
    }
    ReadDocFile(file, read);
    EXPECT_EQ(read.crossover, 120);
    fs::permissions(file, fs::perms::owner_all);
    fs::remove_all(dir);
}

TEST(TessalineDocument, LongNamesSaveStaleTemporariesGoAndFailuresSayWhy) {
    const fs::path dir = TempPath("tsl_doc_name_");
    fs::create_directories(dir);
    const fs::path stale = dir / ".tsl0k1l2m3n.tmp";  // left by a save that was killed
    std::ofstream(stale) << "partial";
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
    const fs::path file = dir / (std::string(251, 'L') + ".CVD");
    DocData data;
    Fill(data);
    WriteDocFile(file, data);
    EXPECT_FALSE(fs::exists(stale));

    FullAtClose full;
    data.crossover = 33;
    try {
        WriteDocFile(file, data, full);
        ADD_FAILURE() << "a failed close was not reported";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), CArchiveException::fileError);
        EXPECT_NE(e.wwhat().find(L": no space left on the device."), std::wstring::npos);
    }
    DocData read;
    ReadDocFile(file, read);
    EXPECT_EQ(read.crossover, 90);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}
