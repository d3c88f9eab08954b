#include "host/win32/drop_target.h"

#include <shellapi.h>

#include <vector>

namespace host {
namespace win32 {
namespace {

FORMATETC FileListFormat() {
  FORMATETC format{};
  format.cfFormat = CF_HDROP;
  format.dwAspect = DVASPECT_CONTENT;
  format.lindex = -1;
  format.tymed = TYMED_HGLOBAL;
  return format;
}

std::string DroppedPath(HDROP drop, UINT index) {
  UINT length = DragQueryFileA(drop, index, nullptr, 0);
  std::vector<char> buffer(length + 1, '\0');
  UINT copied = DragQueryFileA(drop, index, buffer.data(), length + 1);
  return std::string(buffer.data(), copied);
}

std::string DroppedText(HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  if (count == 1) return DroppedPath(drop, 0);
  std::string text;
  for (UINT i = 0; i < count; ++i) text += DroppedPath(drop, i) + "\r\n";
  return text;
}

DWORD EffectFor(bool accepting, DWORD allowed) {
  return accepting && (allowed & DROPEFFECT_COPY) != 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

}  // namespace

HRESULT STDMETHODCALLTYPE FileDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FileDropTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE FileDropTarget::Release() {
  LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE FileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  FORMATETC format = FileListFormat();
  accepting_ = data != nullptr && data->QueryGetData(&format) == S_OK;
  *effect = EffectFor(accepting_, *effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  *effect = EffectFor(accepting_, *effect);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FileDropTarget::DragLeave() {
  accepting_ = false;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FileDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  FORMATETC format = FileListFormat();
  STGMEDIUM medium{};
  if (data == nullptr || data->GetData(&format, &medium) != S_OK) {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  std::string text = DroppedText(static_cast<HDROP>(medium.hGlobal));
  ReleaseStgMedium(&medium);
  *effect = EffectFor(true, *effect);
  accepting_ = false;
  if (!text.empty()) deliver_(text);
  return S_OK;
}

}  // namespace win32
}  // namespace host
