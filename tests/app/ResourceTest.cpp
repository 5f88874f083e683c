// What Lumetra.exe carries besides code: the icon group, the manifest, the version.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/TestSupport.h"

namespace {

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

class PlayerResources : public testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA((DistFolder() + "Lumetra.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override { FreeLibrary(module); }

    std::string ResourceBytes(LPCSTR name, LPCSTR type)
    {
        HRSRC found = FindResourceA(module, name, type);
        if (!found) return "";
        HGLOBAL loaded = LoadResource(module, found);
        return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

}  // namespace

TEST_F(PlayerResources, IconGroup101HoldsSixSizesInThirtyTwoBits)
{
    std::string group = ResourceBytes(MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), sizeof(IconGroupHeader));
    auto* header = reinterpret_cast<const IconGroupHeader*>(group.data());
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + header->count * sizeof(IconGroupEntry));
    auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
    std::set<int> sizes;
    for (int i = 0; i < header->count; ++i) {
        sizes.insert(entries[i].width == 0 ? 256 : entries[i].width);
        EXPECT_EQ(entries[i].bitCount, 32) << "image " << i;
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 64, 128, 256}));
}

TEST_F(PlayerResources, ManifestAsksForCommonControls6AsInvokerAndEachMonitorsScale)
{
    std::string manifest = ResourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
}

TEST_F(PlayerResources, HasAVersion)
{
    EXPECT_FALSE(ResourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)).empty());  // RT_VERSION
}
