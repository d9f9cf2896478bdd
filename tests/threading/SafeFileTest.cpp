#include "threading/SafeFile.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <cerrno>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using Threading::FileCalls;
using Threading::SafeWriteFile;
using Threading::SaveError;

namespace {

// The real calls, except that the Nth call of one kind fails with an errno value, and writes
// stop at byte `failAtByte`.
class FaultyCalls : public FileCalls {
public:
    enum Kind { kOpen, kWrite, kSync, kClose, kChmod, kRename, kNone };
    Kind failKind = kNone;
    int failAt = 1;
    int error = EIO;
    size_t failAtByte = SIZE_MAX;
    int calls[kNone] = {};
    size_t bytes = 0;
    int openFiles = 0;

    int Open(const std::string& path, int flags, unsigned mode, int& fd) override {
        if (int e = Fails(kOpen))
            return e;
        int e = FileCalls::Open(path, flags, mode, fd);
        openFiles += e == 0;
        return e;
    }
    int Write(int fd, const uint8_t* data, size_t length, size_t& written) override {
        written = 0;
        if (int e = Fails(kWrite))
            return e;
        if (bytes >= failAtByte)
            return error;
        length = std::min(length, failAtByte - bytes);
        int e = FileCalls::Write(fd, data, length, written);
        bytes += written;
        return e;
    }
    int Sync(int fd) override { return Fails(kSync) ? error : FileCalls::Sync(fd); }
    int Close(int fd) override {
        --openFiles;
        int e = FileCalls::Close(fd);  // closed even when reported failing, as the system does
        return Fails(kClose) ? error : e;
    }
    int ChangeMode(int fd, unsigned mode) override {
        return Fails(kChmod) ? error : FileCalls::ChangeMode(fd, mode);
    }
    int Rename(const std::string& from, const std::string& to) override {
        return Fails(kRename) ? error : FileCalls::Rename(from, to);
    }

private:
    int Fails(Kind kind) { return ++calls[kind] == failAt && kind == failKind ? error : 0; }
};

class SafeFile : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        std::random_device random;
        do
            dir = fs::temp_directory_path() / ("tsl_safefile_" + std::to_string(random()));
        while (!fs::create_directory(dir));
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Put(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
#ifndef _WIN32
    static unsigned Mode(const fs::path& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
#endif
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SafeFile, ReplacesTheFileAndLeavesNothingElse) {
    const fs::path p = dir / "doc.CVD";
    SafeWriteFile(p, std::string("first"));
    SafeWriteFile(p, std::string("second, longer"));
    EXPECT_EQ(Read(p), "second, longer");
    EXPECT_EQ(Entries(), std::vector<std::string>{"doc.CVD"});
}

struct StepFault {
    FaultyCalls::Kind kind;
    int error;
    const wchar_t* reason;
    size_t atByte = SIZE_MAX;
};

class SafeFileFault : public SafeFile, public ::testing::WithParamInterface<StepFault> {};

TEST_P(SafeFileFault, KeepsTheOldFileRemovesTheTemporaryAndSaysWhy) {
    const fs::path p = dir / "doc.CVD";
    Put(p, "old content");
    FaultyCalls calls;
    calls.failKind = GetParam().kind;
    calls.error = GetParam().error;
    calls.failAtByte = GetParam().atByte;
    const std::string content(100000, 'n');
    try {
        SafeWriteFile(p, content, calls);
        FAIL() << "no failure reported";
    } catch (const SaveError& e) {
        EXPECT_EQ(e.Reason(), GetParam().reason);
        EXPECT_EQ(e.wwhat(),
                  L"The file \"" + p.wstring() + L"\" could not be written: " + e.Reason() + L".");
    }
    EXPECT_EQ(Read(p), "old content");
    EXPECT_EQ(Entries(), std::vector<std::string>{"doc.CVD"});
    EXPECT_EQ(calls.openFiles, 0);
}

const StepFault kStepFaults[] = {
    {FaultyCalls::kOpen, EROFS, L"the file system is read-only"},
    {FaultyCalls::kOpen, EACCES, L"permission denied"},
    {FaultyCalls::kChmod, EPERM, L"permission denied"},
    {FaultyCalls::kNone, ENOSPC, L"no space left on the device", 0},
    {FaultyCalls::kNone, ENOSPC, L"no space left on the device", 4097},
    {FaultyCalls::kSync, EIO, L"input/output error"},
#ifdef EDQUOT
    {FaultyCalls::kClose, EDQUOT, L"no space left on the device"},
#endif
    {FaultyCalls::kRename, EXDEV, L"invalid cross-device link"},
};
INSTANTIATE_TEST_SUITE_P(EveryStep, SafeFileFault, ::testing::ValuesIn(kStepFaults));

#ifndef _WIN32
// Windows has no folder to sync: its rename is written through.
TEST_F(SafeFile, AFolderThatCannotBeSyncedIsReportedAfterTheRename) {
    const fs::path p = dir / "state.json";
    Put(p, "old");
    FaultyCalls calls;
    calls.failKind = FaultyCalls::kSync;
    calls.failAt = 2;  // the file's sync passes, the folder's fails
    EXPECT_THROW(SafeWriteFile(p, std::string("new"), calls), SaveError);
    EXPECT_EQ(Read(p), "new");
    EXPECT_EQ(calls.openFiles, 0);
}

TEST_F(SafeFile, KeepsTheModeOfTheFile) {
    const fs::path p = dir / "private.CVD";
    Put(p, "secret");
    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write);
    SafeWriteFile(p, std::string("still secret"));
    EXPECT_EQ(Mode(p), 0600u);
    fs::permissions(p, static_cast<fs::perms>(0640));
    SafeWriteFile(p, std::string("shared with the group"));
    EXPECT_EQ(Mode(p), 0640u);
    EXPECT_EQ(Read(p), "shared with the group");
}

TEST_F(SafeFile, WritesThroughSymbolicLinks) {
    fs::create_directories(dir / "real");
    Put(dir / "real" / "doc.CVD", "old");
    fs::create_symlink("real/doc.CVD", dir / "link1");  // relative
    fs::create_symlink(dir / "link1", dir / "link2");   // a chain
    SafeWriteFile(dir / "link2", std::string("new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link1"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2"));
    EXPECT_EQ(Read(dir / "real" / "doc.CVD"), "new");
    // A link to a file not yet there creates that file.
    fs::create_symlink("real/new.CVD", dir / "dangling");
    SafeWriteFile(dir / "dangling", std::string("created"));
    EXPECT_EQ(Read(dir / "real" / "new.CVD"), "created");
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
}
#endif

TEST_F(SafeFile, DoesNotReplaceAReadOnlyFile) {
    const fs::path p = dir / "readonly.CVD";
    Put(p, "keep me");
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    try {
        SafeWriteFile(p, std::string("lost"));
        FAIL() << "a read-only file was replaced";
    } catch (const SaveError& e) {
        EXPECT_TRUE(e.ReadOnlyTarget());
        EXPECT_EQ(e.wwhat(), L"The file \"" + p.wstring() +
                                 L"\" could not be written: the file is read-only.");
    }
    EXPECT_EQ(Read(p), "keep me");
    EXPECT_THROW(SafeWriteFile(dir, std::string("x")), SaveError);  // a folder
    fs::permissions(p, fs::perms::owner_all);  // Windows removes no read-only file
}

#ifdef _WIN32
// A document another program holds open without sharing its deletion cannot be replaced: the
// file keeps its content and the temporary goes.
TEST_F(SafeFile, AFileHeldOpenByAnotherProgramIsKept) {
    const fs::path p = dir / "open.CVD";
    Put(p, "in use");
    HANDLE h = ::CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    try {
        SafeWriteFile(p, std::string("replaced"));
        ADD_FAILURE() << "an open file was replaced";
    } catch (const SaveError& e) {
        EXPECT_EQ(e.Reason(), L"permission denied");
    }
    ::CloseHandle(h);
    EXPECT_EQ(Read(p), "in use");
    EXPECT_EQ(Entries(), std::vector<std::string>{"open.CVD"});
}
#endif

TEST_F(SafeFile, SavesNamesOfTheLongestLength) {
    const fs::path p = dir / (std::string(251, 'n') + ".CVD");
    SafeWriteFile(p, std::string("long"));
    SafeWriteFile(p, std::string("longer"));
    EXPECT_EQ(Read(p), "longer");
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(SafeFile, RemovesItsOwnStaleTemporariesOnly) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* name : {".tslab12cd34.tmp", ".tslzz99yy88.tmp", ".tslABCDEFGH.tmp",
                             ".tslab12cd3.tmp", "notes.tmp", ".tslab12cd34.tmp.bak"}) {
        Put(dir / name, "x");
        fs::last_write_time(dir / name, old);
    }
    Put(dir / ".tsl00000000.tmp", "a save in progress");
    SafeWriteFile(dir / "doc.CVD", std::string("new"));
    EXPECT_EQ(Entries(),
              (std::vector<std::string>{".tsl00000000.tmp", ".tslABCDEFGH.tmp", ".tslab12cd3.tmp",
                                        ".tslab12cd34.tmp.bak", "doc.CVD", "notes.tmp"}));
}

}  // namespace
