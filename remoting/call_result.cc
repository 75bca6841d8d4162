#include "remoting/call_result.h"

namespace Norv {

void CallResult::setError(std::string_view message) {
    bodyStream.reset();
    if (!ok_) return;
    ok_ = false;
    errorMessage_ = message;
}

}  // namespace Norv
