// An OLE drop target that hands the dropped files on as one text.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>

namespace host {
namespace win32 {

class FileDropTarget final : public IDropTarget {
 public:
  // `deliver` gets one path alone, or every path followed by "\r\n" when
  // several are dropped.
  using Deliver = std::function<void(const std::string& text)>;
  explicit FileDropTarget(Deliver deliver) : deliver_(std::move(deliver)) {}
  FileDropTarget(const FileDropTarget&) = delete;
  FileDropTarget& operator=(const FileDropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  // Reference counted: only Release deletes.
  ~FileDropTarget() = default;

  LONG references_ = 1;
  bool accepting_ = false;
  Deliver deliver_;
};

}  // namespace win32
}  // namespace host
