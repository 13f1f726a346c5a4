#include "archive/extraction/file_extract_callback.h"

#include "archive/archive_format.h"
#include "archive/archive_test_support.h"
#include "archive/codec/input_archive.h"
#include "archive/extractor.h"
#include "platform/process/child_process.h"

namespace archive {
namespace {

using namespace archive::testing;

// Drives the callback the way the codec library does, item by item.
class FileExtractCallbackTest : public ArchiveTest {
protected:
    FileExtractCallbackTest()
    {
        WriteFileBytes(Root() / "source" / "a.txt", "a");
        WriteFileBytes(Root() / "source" / "b.txt", "b");
        archive_path_ = Root() / "package.zip";
        EXPECT_EQ(
            testing_support::RunInFolder(Root() / "source", {"zip", "-q", archive_path_.string(), "a.txt", "b.txt"}),
            0);
        fs::create_directories(Root() / "out");
    }

    ComPtr<FileExtractCallback> MakeCallback(const InputArchive& archive, const std::wstring& folder)
    {
        return ComPtr<FileExtractCallback>(new FileExtractCallback(handler_, archive, Wide(archive_path_), folder));
    }

    // GetStream and PrepareOperation for one item, then writes `data`.
    void WriteItem(FileExtractCallback& callback, std::uint32_t index, const std::string& data)
    {
        ISequentialOutStream* stream = nullptr;
        ASSERT_EQ(callback.GetStream(index, &stream, kAskExtract), hresult::kOk);
        ASSERT_NE(stream, nullptr);
        ASSERT_EQ(callback.PrepareOperation(kAskExtract), hresult::kOk);
        std::uint32_t written = 0;
        EXPECT_EQ(stream->Write(data.data(), static_cast<std::uint32_t>(data.size()), &written), hresult::kOk);
        EXPECT_EQ(written, data.size());
        stream->Release();
    }

    Extractor handler_{library_, formats::Zip};
    fs::path archive_path_;
};

TEST_F(FileExtractCallbackTest, ErrorCountNeverResets)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    auto callback = MakeCallback(archive, Wide(Root() / "out"));

    WriteItem(*callback, 0, "first");
    EXPECT_EQ(callback->SetOperationResult(kOperationCrcError), hresult::kFail);
    EXPECT_EQ(callback->ErrorMessage(), L"CRC Failed");
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "a.txt"), "first");

    WriteItem(*callback, 1, "second");
    EXPECT_EQ(callback->SetOperationResult(kOperationOk), hresult::kFail);
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "b.txt"), "second");
    EXPECT_EQ(callback->ErrorMessage(), L"CRC Failed");

    EXPECT_EQ(callback->SetOperationResult(kOperationUnsupportedMethod), hresult::kFail);
    EXPECT_EQ(callback->ErrorMessage(), L"Unsupported Method");
    EXPECT_EQ(callback->SetOperationResult(kOperationDataError), hresult::kFail);
    EXPECT_EQ(callback->ErrorMessage(), L"Data Error");
    EXPECT_EQ(callback->SetOperationResult(9), hresult::kFail);
    EXPECT_EQ(callback->ErrorMessage(), L"Unknown Error");
}

TEST_F(FileExtractCallbackTest, NextGetStreamDropsAnUnfinishedStream)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    auto callback = MakeCallback(archive, Wide(Root() / "out"));
    const std::size_t descriptors = OpenDescriptorCount();

    WriteItem(*callback, 0, "left open");
    EXPECT_EQ(OpenDescriptorCount(), descriptors + 1);
    WriteItem(*callback, 1, "closed");
    EXPECT_EQ(OpenDescriptorCount(), descriptors + 1);
    EXPECT_EQ(callback->SetOperationResult(kOperationOk), hresult::kOk);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "a.txt"), "left open");
}

TEST_F(FileExtractCallbackTest, ItemNotToBeExtractedGetsNoStream)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    auto callback = MakeCallback(archive, Wide(Root() / "out"));
    ISequentialOutStream* stream = reinterpret_cast<ISequentialOutStream*>(this);
    EXPECT_EQ(callback->GetStream(0, &stream, 1), hresult::kOk);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(callback->PrepareOperation(1), hresult::kOk);
    EXPECT_EQ(callback->SetOperationResult(kOperationOk), hresult::kOk);
    EXPECT_FALSE(fs::exists(Root() / "out" / "a.txt"));
}

TEST_F(FileExtractCallbackTest, OutputFolderEndsWithOneSeparator)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    EXPECT_EQ(MakeCallback(archive, L"/tmp/out")->OutputFolder(), L"/tmp/out/");
    EXPECT_EQ(MakeCallback(archive, L"/tmp/out/")->OutputFolder(), L"/tmp/out/");
    EXPECT_EQ(MakeCallback(archive, L"")->OutputFolder(), L"");
}

TEST_F(FileExtractCallbackTest, AnswersOnlyItsOwnInterfaces)
{
    const InputArchive archive(handler_, Wide(archive_path_));
    auto callback = MakeCallback(archive, Wide(Root() / "out"));
    IArchiveExtractCallback* face = callback.get();
    for (const IID& iid :
         {IID_IUnknown, IArchiveExtractCallback::kIid, ICompressProgressInfo::kIid, ICryptoGetTextPassword::kIid}) {
        void* object = nullptr;
        EXPECT_EQ(face->QueryInterface(iid, &object), hresult::kOk);
        ASSERT_NE(object, nullptr);
        static_cast<IUnknown*>(object)->Release();
    }
    void* object = this;
    EXPECT_EQ(face->QueryInterface(IInStream::kIid, &object), hresult::kNoInterface);
    EXPECT_EQ(object, nullptr);

    BSTR password = nullptr;
    EXPECT_EQ(callback->CryptoGetTextPassword(&password), hresult::kFail);
    EXPECT_EQ(callback->ErrorMessage(), L"Password is not defined");
}

TEST_F(FileExtractCallbackTest, ItemWithoutPathIsNamedAfterTheArchive)
{
    WriteFileBytes(Root() / "data.txt", "gzip content");
    const fs::path gz = Root() / "data.txt.gz";
    ASSERT_EQ(platform::RunProgram({"gzip", "-n", (Root() / "data.txt").string()}), 0);
    Extractor extractor(library_, formats::GZip);
    extractor.ExtractToFolder(Wide(gz), Wide(Root() / "out"));
    EXPECT_EQ(ReadFileBytes(Root() / "out" / "data.txt"), "gzip content");
}

}  // namespace
}  // namespace archive
