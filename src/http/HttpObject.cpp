#include "HttpObject.h"

#include "../component/Text.h"
#include "../platform/Constants.h"

namespace quorlin {

// URL splitting and retrieval come with the HTTP work; until then the object
// reports its initial state and refuses both.
HRESULT HttpObject::put_URL(BSTR*) { return E_NOTIMPL; }

HRESULT HttpObject::get_ServerName(VARIANT* result) { return TextToVariant(serverName_, result); }
HRESULT HttpObject::get_Path(VARIANT* result) { return TextToVariant(path_, result); }
HRESULT HttpObject::get_Version(VARIANT* result) { return TextToVariant(kHttpVersion, result); }

HRESULT HttpObject::GetString(BSTR* result) {
    if (result) *result = nullptr;
    return E_NOTIMPL;
}

}  // namespace quorlin
