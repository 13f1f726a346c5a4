#include "archive/codec/input_archive.h"

#include <string>

#include "archive/archive_error.h"
#include "archive/codec/open_callback.h"
#include "archive/extraction/extract_callback.h"
#include "archive/streams/in_file_stream.h"

namespace archive {
namespace {

constexpr HRESULT kArchiveNotOpened = 110;
constexpr std::uint32_t kAllItems = 0xFFFFFFFF;
constexpr std::uint32_t kUtf8CodePage = 65001;

std::wstring Quoted(std::wstring_view text, std::wstring_view path)
{
    return std::wstring(text) + std::wstring(path) + L"'";
}

// Names stored without the UTF-8 flag would otherwise be decoded with the
// process's locale. Formats without code-page names reject the property;
// their names need none, so the result is not a failure.
void DecodeNamesAsUtf8(IInArchive& archive)
{
    void* face = nullptr;
    if (archive.QueryInterface(ISetProperties::kIid, &face) != hresult::kOk || !face) return;
    const auto properties = ComPtr<ISetProperties>::Adopt(static_cast<ISetProperties*>(face));
    const wchar_t* const names[] = {L"cp"};
    const PropVariant code_page(kUtf8CodePage);
    properties->SetProperties(names, &code_page, 1);
}

}  // namespace

InputArchive::InputArchive(const ArchiveHandler& handler, std::wstring_view archive_path) : format_(handler.Format())
{
    ComPtr<InFileStream> stream(new InFileStream);
    if (stream->Open(archive_path) != platform::WindowsError::kSuccess) {
        throw ArchiveError(Quoted(L"Cannot open archive file '", archive_path), kArchiveNotOpened);
    }
    auto archive = ComPtr<IInArchive>::Adopt(
        static_cast<IInArchive*>(handler.Library().CreateObject(FormatClassId(format_), IInArchive::kIid)));
    DecodeNamesAsUtf8(*archive);
    ComPtr<OpenCallback> callback(new OpenCallback(handler, archive_path));
    if (archive->Open(stream.get(), nullptr, callback.get()) != hresult::kOk) {
        throw ArchiveError(Quoted(L"Cannot open archive '", archive_path), kArchiveNotOpened);
    }
    // A damaged archive, a truncated one for instance, still opens with the
    // items the library could find; only these flags tell of the damage.
    PropVariant damage;
    if (archive->GetArchiveProperty(kpidErrorFlags, &damage) == hresult::kOk && damage.IsUInt32() &&
        damage.GetUInt32() != 0) {
        throw ArchiveError(Quoted(L"Archive is damaged '", archive_path), kArchiveNotOpened);
    }
    archive_ = std::move(archive);
}

std::uint32_t InputArchive::ItemCount() const
{
    std::uint32_t count = 0;
    const HRESULT result = archive_->GetNumberOfItems(&count);
    if (result != hresult::kOk) throw ArchiveError("Could not retrieve the number of items", result);
    return count;
}

void InputArchive::Extract(const std::vector<std::uint32_t>& indices, ExtractCallback& callback) const
{
    const std::uint32_t* list = indices.empty() ? nullptr : indices.data();
    const auto count = indices.empty() ? kAllItems : static_cast<std::uint32_t>(indices.size());
    const HRESULT result = archive_->Extract(list, count, 0, &callback);
    if (result != hresult::kOk) throw ArchiveError(callback.ErrorMessage(), result);
}

PropVariant InputArchive::ItemProperty(std::uint32_t index, PROPID property) const
{
    const auto fail = [index](HRESULT code) {
        return ArchiveError(L"Could not retrieve property for item at index " + std::to_wstring(index), code);
    };
    // The library does not check the index itself.
    if (index >= ItemCount()) throw fail(hresult::kInvalidArgument);
    PropVariant value;
    const HRESULT result = archive_->GetProperty(index, property, &value);
    if (result != hresult::kOk) {
        value.Clear();
        throw fail(result);
    }
    return value;
}

bool InputArchive::ItemIsFolder(std::uint32_t index) const
{
    const PropVariant value = ItemProperty(index, kpidIsDir);
    return !value.IsEmpty() && value.GetBool();
}

}  // namespace archive
