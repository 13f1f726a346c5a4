#include "archive/codec/open_callback.h"

#include "archive/archive_format.h"
#include "archive/archive_test_support.h"
#include "archive/codec/com_ptr.h"
#include "archive/extractor.h"

namespace archive {
namespace {

using namespace archive::testing;

class OpenCallbackTest : public ArchiveTest {
protected:
    OpenCallbackTest() { WriteFileBytes(Root() / "volume.001", "first volume"); }

    ComPtr<OpenCallback> MakeCallback(const fs::path& path)
    {
        return ComPtr<OpenCallback>(new OpenCallback(handler_, Wide(path)));
    }

    Extractor handler_{library_, formats::Zip};
};

TEST_F(OpenCallbackTest, DescribesTheArchiveFile)
{
    auto callback = MakeCallback(Root() / "volume.001");
    PropVariant name;
    EXPECT_EQ(callback->GetProperty(kpidName, &name), hresult::kOk);
    EXPECT_EQ(name.GetString(), L"volume.001");
    PropVariant size;
    EXPECT_EQ(callback->GetProperty(kpidSize, &size), hresult::kOk);
    EXPECT_EQ(size.uhVal, 12u);
    PropVariant folder;
    EXPECT_EQ(callback->GetProperty(kpidIsDir, &folder), hresult::kOk);
    EXPECT_FALSE(folder.GetBool());
    PropVariant time;
    EXPECT_EQ(callback->GetProperty(kpidMTime, &time), hresult::kOk);
    EXPECT_EQ(time.Kind(), PropKind::kFileTime);
    PropVariant other;
    EXPECT_EQ(callback->GetProperty(kpidPath, &other), hresult::kOk);
    EXPECT_TRUE(other.IsEmpty());
}

TEST_F(OpenCallbackTest, OpensVolumesBesideTheArchive)
{
    WriteFileBytes(Root() / "volume.002", "second");
    auto callback = MakeCallback(Root() / "volume.001");
    IInStream* stream = nullptr;
    ASSERT_EQ(callback->GetStream(L"volume.002", &stream), hresult::kOk);
    char buffer[16] = {};
    std::uint32_t read = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), hresult::kOk);
    EXPECT_EQ(std::string(buffer, read), "second");
    EXPECT_EQ(stream->Release(), 0u);

    ASSERT_EQ(callback->GetStream(nullptr, &stream), hresult::kOk);
    stream->Release();
    EXPECT_EQ(callback->GetStream(L"volume.003", &stream), hresult::kFalse);
    EXPECT_EQ(stream, nullptr);
    fs::create_directories(Root() / "volume.004");
    EXPECT_EQ(callback->GetStream(L"volume.004", &stream), hresult::kFalse);
}

TEST_F(OpenCallbackTest, MissingArchiveIsAnInvalidPath)
{
    const fs::path missing = Root() / "missing.zip";
    ExpectArchiveError([&] { MakeCallback(missing); }, "Invalid path '" + missing.string() + "'!",
                       static_cast<HRESULT>(0x80070002u));
}

TEST_F(OpenCallbackTest, AnswersItsFacesButNotTheOpenCallbackItself)
{
    auto callback = MakeCallback(Root() / "volume.001");
    IArchiveOpenCallback* face = callback.get();
    for (const IID& iid : {IID_IUnknown, IArchiveOpenVolumeCallback::kIid, IArchiveOpenSetSubArchiveName::kIid,
                           ICryptoGetTextPassword::kIid}) {
        void* object = nullptr;
        ASSERT_EQ(face->QueryInterface(iid, &object), hresult::kOk);
        static_cast<IUnknown*>(object)->Release();
    }
    void* object = this;
    EXPECT_EQ(face->QueryInterface(IArchiveOpenCallback::kIid, &object), hresult::kNoInterface);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(face->SetTotal(nullptr, nullptr), hresult::kOk);
    EXPECT_EQ(face->SetCompleted(nullptr, nullptr), hresult::kOk);

    BSTR password = nullptr;
    EXPECT_EQ(callback->CryptoGetTextPassword(&password), hresult::kAbort);
    EXPECT_EQ(callback->ErrorMessage(), L"Password is not defined");
    handler_.SetPassword(L"secret");
    ASSERT_EQ(callback->CryptoGetTextPassword(&password), hresult::kOk);
    EXPECT_EQ(std::wstring(password, SysStringLen(password)), L"secret");
    SysFreeString(password);
}

}  // namespace
}  // namespace archive
