// The host's view of a plugin's API table: the listing of its functions, types
// and events as the host reads them from the chained records, a call of one
// function through the handler and context its record gives, and the
// plugin's help read the same way.
#pragma once

#include "tools/host-sim/host_simulator.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace Norv::HostSim {

// Exit code of a call that no function of the plugin takes.
inline constexpr int kExitNoFunction = 5;

// Writes the listing of `table`; false when a chain's length differs from its
// count (the listing then says which).
bool PrintApiTable(std::FILE* out, const PluginApiTable& table);

struct ApiCall {
    std::string method;  // a method's name; one not among the seven is sent as method 8
    std::string path;
    std::vector<std::pair<std::string, std::string>> arguments;  // named host arguments, as text
    std::string body;                                            // empty: none
    std::string contentType;
};

// One plugin from load to close, played by a host that answers quietly.
class ApiSession {
public:
    explicit ApiSession(const Options& options);
    ~ApiSession();
    ApiSession(const ApiSession&) = delete;
    ApiSession& operator=(const ApiSession&) = delete;

    // An ExitCode: kExitOk when the plugin is loaded and initialized.
    int Start();
    // Unloads the plugin now rather than at destruction; the host stays.
    void Unload();

    // The table the load record points at; six zero words when there is none.
    const PluginApiTable& Table() const {
        return plugin_.record.apiTable != nullptr ? *plugin_.record.apiTable : none_;
    }
    Testing::FakeHost& Host() { return host_; }
    const Testing::LoadedPlugin& Plugin() const { return plugin_; }

private:
    Options options_;
    Testing::FakeHost host_;
    Testing::PluginModule module_;
    Testing::LoadedPlugin plugin_;
    bool initialized_ = false;
    PluginApiTable none_{};
};

// The function the host would route `call` to, by the records' templates and
// methods; null when none takes it.
const PluginFunctionRecord* FindFunction(const PluginApiTable& table, const ApiCall& call);

// The request record a host hands `function` for `call`, which must outlive it.
class ApiRequest {
public:
    ApiRequest(const ApiCall& call, const PluginFunctionRecord& function);
    ApiRequest(const ApiRequest&) = delete;
    ApiRequest& operator=(const ApiRequest&) = delete;
    const HostRequestRecord* Record() const { return &record_; }

private:
    std::string methodName_;
    std::vector<HostArgumentEntry> arguments_;
    HostRequestRecord record_{};
};

// The response in one line: status, body (as JSON, or the streamed text) and
// error. Reads a streamed body to its end.
std::string AnswerText(const HostResponseRecord& response);

// Each loads the plugin, inits it with a quiet host, does its work, unloads
// it and returns an ExitCode (or kExitNoFunction).
int ListApi(const Options& options, std::FILE* out);
int CallFunction(const Options& options, const ApiCall& call, std::FILE* out);
// Calls the plugin's Help function ("full" or "epytext") the way the host
// calls any function, and prints the help item by item.
int DescribeApi(const Options& options, const std::string& format, std::FILE* out);

// The simulator's --api, --call and --describe from the command line, after
// the module; `arguments` start with the option itself.
int RunApiCommand(const Options& options, int count, char** arguments, std::FILE* out);

}  // namespace Norv::HostSim
