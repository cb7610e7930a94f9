// The module's version resource as Windows reads it for the Details tab of the
// file's properties: GetFileVersionInfoA and VerQueryValueA on the built DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host_helpers.h"
#include "plugin/host_protocol.h"

namespace {

// The whole version block of the module file, empty when it has none.
std::vector<char> VersionBlock() {
    std::string path = host_helpers::ModulePath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

// The string value name of the block's first translation, or nullptr.
const char* StringValue(std::vector<char>& block, const char* name) {
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size) ||
        size < sizeof *translation)
        return nullptr;
    char query[128];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage,
             name);
    char* value = nullptr;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &size))
        return nullptr;
    return value;
}

TEST(VersionResource, TheDetailsTabTexts) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty()) << "no version resource, error " << GetLastError();
    struct Text {
        const char* name;
        const char* value;
    } expected[] = {
        {"FileDescription", "Quintavo Extractor Plugin"},
        {"CompanyName", "The QuintavoExtract maintainers"},
        {"FileVersion", "0.2 Beta"},
        {"ProductVersion", "0.2 Beta"},
        {"ProductName", "QuintavoExtract"},
        {"OriginalFilename", "QuintavoExtract.dll"},
        {"InternalName", "QuintavoExtract.dll"},
        {"LegalCopyright", "Copyright (C) The QuintavoExtract maintainers"},
    };
    for (const Text& t : expected) {
        const char* value = StringValue(block, t.name);
        ASSERT_NE(value, nullptr) << t.name;
        EXPECT_STREQ(value, t.value) << t.name;
    }
}

TEST(VersionResource, EnglishInTheWindowsCodePage) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    DWORD* translation = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &size));
    ASSERT_EQ(size, 4u) << "one translation";
    EXPECT_EQ(LOWORD(*translation), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    EXPECT_EQ(HIWORD(*translation), 1252);
}

TEST(VersionResource, FixedNumbersSayADllOfVersion0_2_0_0) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    ASSERT_EQ(size, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(2, 0)) << "0.2";
    EXPECT_EQ(fixed->dwFileVersionLS, 0u) << ".0.0";
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 0));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, static_cast<DWORD>(VS_FF_PRERELEASE)) << "a beta";
}

// The Details tab and getinfo answer alike: the name, the author and the version.
TEST(VersionResource, SaysWhatGetinfoSays) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty());
    HMODULE module = LoadLibraryA(host_helpers::ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    auto getinfo = reinterpret_cast<host::InfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "getinfo")));
    ASSERT_NE(getinfo, nullptr);
    struct Pair {
        uint32_t index;
        const char* name;
    } pairs[] = {{0, "FileDescription"}, {1, "CompanyName"}, {2, "FileVersion"}, {2, "ProductVersion"}};
    for (const Pair& p : pairs) {
        const char* value = StringValue(block, p.name);
        ASSERT_NE(value, nullptr) << p.name;
        EXPECT_STREQ(value, getinfo(p.index)) << p.name;
    }
    FreeLibrary(module);
}

}  // namespace
