// Answers to the plugin's requests as a host writes them: the body and the
// error text in the host's memory, released by the record's release function,
// which counts its calls so tests see that every response was released.
#pragma once

#include "binding/binding_property.h"

#include <norv_plugin.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Norv::Testing {

struct HostAnswer {
    std::int32_t status = 200;
    bool failed = false;  // carries an error text
    std::string error;
    BindingProperty body;
    // When not empty, the body is streamed instead: one chunk a read, the
    // more-data byte set on every chunk but the last.
    std::vector<std::string> chunks;

    static HostAnswer Ok(BindingProperty body = {}, std::int32_t status = 200);
    // A status without an error text (a call that still succeeds).
    static HostAnswer Status(std::int32_t status);
    static HostAnswer Error(std::int32_t status, std::string text);
    static HostAnswer Streamed(std::vector<std::string> chunks);
};

// Fills the record; its release function frees what this put there.
void FillHostResponse(HostResponseRecord& response, const HostAnswer& answer);
// How often the release functions ran (process-wide).
std::uint64_t HostResponseReleases();
std::uint64_t HostStreamReleases();

// A request as the plugin sent it: "GET /path", then one item per argument
// entry ("name=value", or the value alone for a positional entry).
std::string DescribeRequest(const HostRequestRecord& request);

// Builds the event record a host hands an event callback and calls it.
void DeliverHostEvent(HostEventCallback callback, void* context, const char* eventName, const BindingProperty& payload);

// A PluginResourceEvent payload.
BindingProperty ResourceEventPayload(const std::string& uri, const char* eventType, const BindingProperty& data);

}  // namespace Norv::Testing
