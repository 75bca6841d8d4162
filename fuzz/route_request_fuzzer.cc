// Whole request records through the C request handler: the first byte picks
// the method and which pointers are null, the rest splits at NUL into the path,
// the method name, the content type, the body, then header names and values
// and host arguments ("=name=value" named, "#value" positional). Nothing may
// escape, every response must release to zeros, and no result handle or
// counted block may be left behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/allocation_statistics.h"
#include "remoting/function_dispatcher.h"

namespace {

int liveHandles = 0;

class EchoInvoker : public Norv::FunctionInvoker {
public:
    void* invoke(Norv::CallResult& result, std::span<Norv::BindingProperty> arguments, std::uint32_t) override {
        if (!arguments[0].getString().empty() && arguments[0].getString()[0] == '!') throw std::runtime_error("thrown");
        if (arguments[0].getString() == "fail") result.setError("failed");
        ++liveHandles;
        return new Norv::BindingProperty(arguments[3]);
    }
    void write(Norv::CallResult& result, const Norv::RemotingRequest* request, void* handle, std::uint32_t) override {
        result.body = *static_cast<Norv::BindingProperty*>(handle);
        if (request != nullptr && request->path.size() % 7 == 0) result.status = 201;
    }
    void destroy(void* handle) noexcept override {
        delete static_cast<Norv::BindingProperty*>(handle);
        --liveHandles;
    }
    std::uint32_t requestType() const override { return Norv::kRemotingRequestType; }
};

struct Function {
    Function() {
        descriptor.name = "Fuzz";
        descriptor.callback = std::make_unique<EchoInvoker>();
        const struct {
            const char* name;
            Norv::BindingTypeKind kind;
            std::uint32_t location;
        } parameters[] = {
            {"id", Norv::BindingTypeKind::String, Norv::kLocationPath},
            {"flag", Norv::BindingTypeKind::Bool, Norv::kLocationQuery},
            {"count", Norv::BindingTypeKind::Int32, Norv::kLocationAnywhere},
            {"opts", Norv::BindingTypeKind::Object, Norv::kLocationAnywhere},
            {"list", Norv::BindingTypeKind::Vector, Norv::kLocationAnywhere},
            {"token", Norv::BindingTypeKind::String, Norv::kLocationHeader},
            {"named", Norv::BindingTypeKind::String, Norv::kLocationHostArgument},
            {"body", Norv::BindingTypeKind::Object, Norv::kLocationBody},
        };
        for (const auto& p : parameters) {
            Norv::BindingParameterDescriptor parameter;
            parameter.name = p.name;
            parameter.type.kind = p.kind;
            parameter.location = p.location;
            descriptor.parameters.push_back(parameter);
        }
        route.function = &descriptor;
        route.urlTemplate = Norv::UrlTemplate("/items/{id}/{+rest}");
        context = {nullptr, &route};
    }

    Norv::BindingFunctionDescriptor descriptor;
    Norv::FunctionRoute route;
    Norv::FunctionHandlerContext context;
};

std::int64_t OutstandingBlocks() {
    const Norv::AllocationStatistics statistics = Norv::CurrentAllocationStatistics();
    return static_cast<std::int64_t>(statistics.Allocations() - statistics.Releases());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Function function;
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    std::vector<std::string> pieces;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    for (;;) {
        const std::size_t end = rest.find('\0');
        pieces.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    pieces.resize(std::max<std::size_t>(pieces.size(), 4));

    std::vector<HostHeaderEntry> headers;
    std::vector<HostArgumentEntry> arguments;
    for (std::size_t i = 4; i < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        if (piece.empty() || (piece[0] != '=' && piece[0] != '#')) {
            if (i + 1 < pieces.size()) headers.push_back({piece.c_str(), pieces[i + 1].c_str()});
            ++i;
            continue;
        }
        HostArgumentEntry entry{};
        std::size_t value = 1;
        if (piece[0] == '=') {
            value = piece.find('=', 1);
            if (value == std::string::npos) value = piece.size() - 1;
            pieces[i][value] = '\0';
            entry.name = pieces[i].c_str() + 1;
            ++value;
        }
        entry.value.tag = HOST_VALUE_STRING;
        entry.value.payload.string.text = pieces[i].c_str() + value;
        entry.value.payload.string.length = static_cast<std::uint32_t>(std::strlen(entry.value.payload.string.text));
        arguments.push_back(entry);
    }

    HostRequestRecord record{};
    record.method = flags & 0x0F;
    record.path = (flags & 0x10) != 0 ? nullptr : pieces[0].c_str();
    record.methodName = pieces[1].c_str();
    record.contentType = pieces[2].c_str();
    record.body = (flags & 0x20) != 0 ? nullptr : pieces[3].data();
    // Without a length a text body runs to its NUL, which the piece has.
    record.bodyLength = (flags & 0x40) != 0 ? 0 : static_cast<std::uint32_t>(pieces[3].size());
    record.handlerContext = (flags & 0x80) != 0 ? nullptr : &function.context;
    record.headers = headers.data();
    record.headerCount = static_cast<std::uint32_t>(headers.size());
    record.arguments = arguments.data();
    record.argumentCount = static_cast<std::uint32_t>(arguments.size());

    const std::int64_t before = OutstandingBlocks();
    HostResponseRecord response{};
    Norv::HandleFunctionRequest(&response, &record);
    if (response.release == nullptr || liveHandles != 0) std::abort();
    const std::int32_t status = response.status;
    if (status != 0 && status != 201 && status != 400 && status != 404 && status != 500) std::abort();
    if ((response.hasError != 0) != (response.error != nullptr)) std::abort();
    if (response.readStream != nullptr) std::abort();
    response.release(&response);
    static const HostResponseRecord zero{};
    if (std::memcmp(&response, &zero, sizeof zero) != 0) std::abort();
    if (OutstandingBlocks() != before) std::abort();
    return 0;
}
