#include "platform/internal_errors.h"

#include <string>

#include "platform/message.h"

namespace kv {

void ShowInternalError(InternalError site) {
    const wchar_t* const lead = site == InternalError::kStoreEncodedNothing ? L"Internal error #" : L"Internal Error #";
    AfxMessageBox(lead + std::to_wstring(static_cast<int>(site)) + L"! This should never occur!!!", MB_OK);
}

}  // namespace kv
