// Response records the plugin fills for the host: filling one from a call
// result, recording an error into one, and the functions the record hands the
// host (release of the record, read and release of its stream). Everything a
// filled record points to is allocated through the counting allocator and
// freed by ReleaseResponse.
#pragma once

#include <cstdint>
#include <string_view>

#include "norv_plugin.h"
#include "remoting/call_result.h"

namespace Norv {

class BindingRegistry;

// The record's release function: frees the body value, the error text, the
// content type and the headers, then zeroes all 62 bytes, so a second release
// does nothing. It leaves a stream alone: the host releases that through the
// record's stream release function.
void NORV_CALL ReleaseResponse(HostResponseRecord* response);

// The state an answer starts from: releases what an earlier answer of the
// plugin's left in the record (a record whose release function is not
// ReleaseResponse is only zeroed, never freed) and sets the release function.
void PrepareResponse(HostResponseRecord& response);

// Releases the body value and any earlier error, then stores a copy of
// `message` and sets the presence byte.
void RecordResponseError(HostResponseRecord& response, std::string_view message);

// Fills a prepared record from `result`: its error and status when it failed,
// else its body value (status 400 when the value cannot be written) and
// status. The flag, kind (1 to 3, else 0), content type and headers are copied
// in every case, a repeated header name keeping its last value; the stream
// moves into the record.
void FillResponse(HostResponseRecord& response, CallResult& result, const BindingRegistry* registry);

// The stream functions of a filled record; both take the record's stream object.
std::uint8_t NORV_CALL ReadResponseStream(void* stream, std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more);
void NORV_CALL ReleaseResponseStream(void* stream);

}  // namespace Norv
