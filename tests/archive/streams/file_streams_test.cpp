#include "archive/streams/in_file_stream.h"
#include "archive/streams/out_file_stream.h"

#include "archive/archive_test_support.h"
#include "archive/codec/com_ptr.h"

namespace archive {
namespace {

using namespace archive::testing;

using FileStreamTest = ArchiveTest;

TEST_F(FileStreamTest, InFileStreamReadsSeeksAndDescribesTheFile)
{
    WriteFileBytes(Root() / "data.bin", "0123456789");
    ComPtr<InFileStream> stream(new InFileStream);
    ASSERT_EQ(stream->Open(Wide(Root() / "data.bin")), platform::WindowsError::kSuccess);

    std::uint64_t position = 0;
    EXPECT_EQ(stream->Seek(-3, 2, &position), hresult::kOk);
    EXPECT_EQ(position, 7u);
    char buffer[8] = {};
    std::uint32_t read = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), hresult::kOk);
    EXPECT_EQ(std::string(buffer, read), "789");
    EXPECT_EQ(stream->Seek(2, 0, nullptr), hresult::kOk);
    EXPECT_EQ(stream->Seek(1, 1, &position), hresult::kOk);
    EXPECT_EQ(position, 3u);
    EXPECT_EQ(stream->Seek(0, 3, &position), hresult::kInvalidFunction);
    EXPECT_EQ(stream->Seek(-20, 0, &position), static_cast<HRESULT>(0x8007001Fu));

    std::uint64_t size = 0;
    EXPECT_EQ(stream->GetSize(&size), hresult::kOk);
    EXPECT_EQ(size, 10u);
    std::uint32_t attributes = 0;
    FILETIME write{};
    EXPECT_EQ(stream->GetProps(&size, nullptr, nullptr, &write, &attributes), hresult::kOk);
    EXPECT_EQ(attributes & 0x8010u, 0x8000u);
    EXPECT_GT(write.dwHighDateTime, 0u);
    StreamFileProps props{};
    EXPECT_EQ(stream->GetProps2(&props), hresult::kOk);
    EXPECT_EQ(props.Size, 10u);
    EXPECT_EQ(props.NumLinks, 1u);
    EXPECT_NE(props.FileIdLow, 0u);
}

TEST_F(FileStreamTest, InFileStreamRefusesMissingFilesAndFolders)
{
    InFileStream stream;
    EXPECT_EQ(stream.Open(Wide(Root() / "missing")), platform::WindowsError::kFileNotFound);
    EXPECT_EQ(stream.Open(Wide(Root())), platform::WindowsError::kAccessDenied);
}

TEST_F(FileStreamTest, InFileStreamAnswersItsFacesButNotTheSequentialOne)
{
    ComPtr<InFileStream> stream(new InFileStream);
    IInStream* face = stream.get();
    for (const IID& iid :
         {IID_IUnknown, IInStream::kIid, IStreamGetSize::kIid, IStreamGetProps::kIid, IStreamGetProps2::kIid}) {
        void* object = nullptr;
        ASSERT_EQ(face->QueryInterface(iid, &object), hresult::kOk);
        EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 1u);
    }
    const IID sequential = CodecInterfaceId(0x03, 0x01);
    void* object = this;
    EXPECT_EQ(face->QueryInterface(sequential, &object), hresult::kNoInterface);
    EXPECT_EQ(object, nullptr);
}

TEST_F(FileStreamTest, OutFileStreamWritesResizesAndCloses)
{
    ComPtr<OutFileStream> stream(new OutFileStream);
    const fs::path path = Root() / "out.bin";
    ASSERT_TRUE(stream->Open(Wide(path), platform::CreationDisposition::kCreateAlways));
    std::uint32_t written = 0;
    EXPECT_EQ(stream->Write("abcdef", 6, &written), hresult::kOk);
    EXPECT_EQ(written, 6u);
    EXPECT_EQ(stream->ProcessedSize(), 6u);
    EXPECT_EQ(stream->SetSize(3), hresult::kOk);
    std::uint64_t position = 0;
    EXPECT_EQ(stream->Seek(0, 1, &position), hresult::kOk);
    EXPECT_EQ(position, 6u);
    EXPECT_TRUE(stream->SetModificationTime(FILETIME{0x256D4000u, 0x01BF53EBu}));
    EXPECT_EQ(stream->Close(), hresult::kOk);
    EXPECT_EQ(stream->Close(), hresult::kOk);
    EXPECT_EQ(ReadFileBytes(path), "abc");
    // 0x01BF53EB256D4000 ticks is 2000-01-01 00:00:00 UTC.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::file_clock::to_sys(fs::last_write_time(path)).time_since_epoch()),
              std::chrono::seconds{946684800});

    EXPECT_FALSE(stream->Open(Wide(path), platform::CreationDisposition::kCreateNew));
    EXPECT_TRUE(stream->Open(Wide(path), platform::CreationDisposition::kOpenExisting));
    EXPECT_FALSE(stream->Open(Wide(Root() / "no" / "such" / "folder"), platform::CreationDisposition::kCreateAlways));

    void* object = this;
    EXPECT_EQ(stream->QueryInterface(IOutStream::kIid, &object), hresult::kOk);
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(stream->QueryInterface(CodecInterfaceId(0x03, 0x02), &object), hresult::kNoInterface);
}

TEST_F(FileStreamTest, WritingToAFullDeviceReportsDiskFull)
{
    ComPtr<OutFileStream> stream(new OutFileStream);
    ASSERT_TRUE(stream->Open(L"/dev/full", platform::CreationDisposition::kOpenExisting));
    std::uint32_t written = 7;
    EXPECT_EQ(stream->Write("x", 1, &written), static_cast<HRESULT>(0x80070070u));
    EXPECT_EQ(written, 0u);
}

}  // namespace
}  // namespace archive
