#include "plugin/plugin_core.h"

#include "binding/binding_page_pool.h"
#include "binding/host_value.h"
#include "diagnostics/format.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "plugin/host_call_guard.h"
#include "plugin/resource_path.h"
#include "plugin/telemetry_sender.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace Norv {

PluginCore::PluginCore() = default;

PluginCore::~PluginCore() = default;

PluginCore::HostCallScope::~HostCallScope() {
    if (--core_.activeHostCalls_ == 0 && core_.destroyWhenIdle_) {
        delete &core_;
        // Pages kept for reuse would otherwise outlive the plugin in the host process.
        BindingPagePool::ReleaseIdle();
    }
}

void PluginCore::DestroyWhenIdle(PluginCore* core) {
    if (core->activeHostCalls_ > 0) {
        core->destroyWhenIdle_ = true;
        return;
    }
    delete core;
    BindingPagePool::ReleaseIdle();
}

void PluginCore::Shutdown() {
    // The names are copied first, as the host may call back while it
    // unsubscribes, and sorted, so every build tells the host the same order.
    std::vector<std::string> names;
    names.reserve(eventHandlers_.size());
    for (const auto& entry : eventHandlers_) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) UnsubscribeEvent(name, hostHandle_);
    eventHandlers_.clear();
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        pendingRequests_.clear();
        receivedAnswers_.clear();
        asyncHandlers_.clear();
    }
    ClearResourceHandlers();
}

void PluginCore::Start(std::uint32_t hostHandle, std::string userAgent) {
    hostHandle_ = hostHandle;
    userAgent_ = std::move(userAgent);
    telemetry_ = std::make_unique<TelemetrySender>(transport_);
    eventRegistry_ = registry_;
    requestClient_ = this;
    using Client::PluginServiceProxyResponse;
    AddEventHandler(
        Client::kServiceProxyUuidEventName,
        [this](const PluginServiceProxyResponse& answer) { OnServiceProxyUuid(answer); }, 1);
    AddEventHandler(
        Client::kServiceProxyMethodEventName,
        [this](const PluginServiceProxyResponse& answer) { OnServiceProxyMethod(answer); }, 1);
    AddEventHandler(
        Client::kServiceProxyAsyncEventName,
        [this](const PluginServiceProxyResponse& message) { OnServiceProxyAsync(message); }, 1);
}

std::string ServiceProxyMethodKey(const Client::PluginServiceProxyResponse& message) {
    return Format("%1.%2", message.serviceName, message.methodName);
}

namespace {

// Stores the answer as the newest, replacing one under the same key; returns
// the key of the oldest answer when the bound made room by dropping it.
std::optional<std::string> StoreAnswer(std::vector<std::pair<std::string, Client::PluginServiceProxyResponse>>& answers,
                                       std::string key, const Client::PluginServiceProxyResponse& answer) {
    std::optional<std::string> dropped;
    auto same = std::find_if(answers.begin(), answers.end(), [&](const auto& entry) { return entry.first == key; });
    if (same != answers.end()) {
        answers.erase(same);
    } else if (answers.size() >= kReceivedAnswerLimit) {
        dropped = std::move(answers.front().first);
        answers.erase(answers.begin());
    }
    answers.emplace_back(std::move(key), answer);
    return dropped;
}

}  // namespace

void PluginCore::OnServiceProxyUuid(const Client::PluginServiceProxyResponse& answer) {
    ReceiveAnswer(answer.uuid, answer);
}

void PluginCore::OnServiceProxyMethod(const Client::PluginServiceProxyResponse& answer) {
    ReceiveAnswer(ServiceProxyMethodKey(answer), answer);
}

void PluginCore::ReceiveAnswer(std::string key, const Client::PluginServiceProxyResponse& answer) {
    std::optional<std::string> dropped;
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        dropped = StoreAnswer(receivedAnswers_, std::move(key), answer);
    }
    if (dropped) Log(kLogLevelError, kLogGroupDbg, kDroppedAnswerMessage, dropped->c_str());
    FulfilPendingRequest();
}

void PluginCore::OnServiceProxyAsync(const Client::PluginServiceProxyResponse& message) {
    std::string key = ServiceProxyMethodKey(message);
    std::shared_ptr<const ServiceProxyHandler> handler;
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        auto found = asyncHandlers_.find(key);
        if (found != asyncHandlers_.end()) handler = found->second;
    }
    if (handler == nullptr) {
        Log(kLogLevelError, kLogGroupDbg, kNoAsyncHandlerMessage, key.c_str());
        return;
    }
    (*handler)(message);
}

void PluginCore::FulfilPendingRequest() {
    std::string key;
    ServiceProxyHandler handler;
    Client::PluginServiceProxyResponse answer;
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        auto claimed = receivedAnswers_.begin();
        auto pending = pendingRequests_.end();
        for (; claimed != receivedAnswers_.end(); ++claimed) {
            pending = pendingRequests_.find(claimed->first);
            if (pending != pendingRequests_.end()) break;
        }
        if (claimed == receivedAnswers_.end()) return;
        key = claimed->first;
        answer = std::move(claimed->second);
        handler = std::move(pending->second);
        pendingRequests_.erase(pending);
        receivedAnswers_.erase(claimed);
    }
    handler(answer);
    Log(kLogLevelAlways, kLogGroupDbg, kFulfilledRequestMessage, key.c_str());
}

void PluginCore::AddPendingRequest(const std::string& key, ServiceProxyHandler handler) {
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        pendingRequests_[key] = std::move(handler);
    }
    FulfilPendingRequest();
}

void PluginCore::SetAsyncHandler(const std::string& key, ServiceProxyHandler handler) {
    auto shared = std::make_shared<const ServiceProxyHandler>(std::move(handler));
    std::lock_guard<std::mutex> guard(coreMutex_);
    asyncHandlers_[key] = std::move(shared);
}

std::size_t PluginCore::PendingRequestCount() {
    std::lock_guard<std::mutex> guard(coreMutex_);
    return pendingRequests_.size();
}

std::size_t PluginCore::ReceivedAnswerCount() {
    std::lock_guard<std::mutex> guard(coreMutex_);
    return receivedAnswers_.size();
}

void PluginCore::Subscribe(const std::string& path) {
    std::string name = ResourceEventName(path);
    if (++subscriptionCounts_[name] != 1) return;
    DebugTrace(kSubscribingTrace, {name});
    AddEventHandler(
        name, [this](const Client::PluginResourceEvent& event) { DispatchResourceEvent(event); }, 0);
}

void PluginCore::Unsubscribe(const std::string& path) {
    std::string name = ResourceEventName(path);
    auto count = subscriptionCounts_.find(name);
    if (count == subscriptionCounts_.end() || count->second <= 0) return;
    if (--count->second != 0) return;
    UnsubscribeEvent(name, hostHandle_);
    eventHandlers_.erase(name);
    DebugTrace(kUnsubscribingTrace, {name});
}

std::uint32_t PluginCore::AddEventHandler(const std::string& eventName,
                                          std::function<void(const Client::PluginResourceEvent&)> handler,
                                          std::uint32_t flags) {
    return StoreEventHandler(eventName, std::move(handler), flags);
}

std::uint32_t PluginCore::AddEventHandler(const std::string& eventName,
                                          std::function<void(const Client::PluginServiceProxyResponse&)> handler,
                                          std::uint32_t flags) {
    return StoreEventHandler(eventName, std::move(handler), flags);
}

template <class Event>
std::uint32_t PluginCore::StoreEventHandler(const std::string& eventName, std::function<void(const Event&)> handler,
                                            std::uint32_t flags) {
    eventHandlers_[eventName] = std::make_shared<EventHandlerHolderFor<Event>>(std::move(handler));
    return SubscribeEvent(eventName, hostHandle_, &EventCallback<Event>, this, flags);
}

template <class Event>
void NORV_CALL PluginCore::EventCallback(const HostEventRecord* record) {
    GuardHostCall("event callback", [&] {
        if (record == nullptr || record->context == nullptr || record->eventName == nullptr) return;
        auto* core = static_cast<PluginCore*>(record->context);
        HostCallScope scope(*core);
        core->DeliverEvent<Event>(*record);
    });
}

template <class Event>
void PluginCore::DeliverEvent(const HostEventRecord& record) {
    auto found = eventHandlers_.find(record.eventName);
    if (found == eventHandlers_.end()) return;
    // A copy: the handler may replace or remove its own entry while it runs.
    std::shared_ptr<EventHandlerHolder> holder = found->second;
    if (&holder->EventType() != &StaticType::Identity<Event>()) return;

    BindingProperty payload;
    HostResult failure{};
    Event event;
    BindingResult converted;
    if (!readHostValue(failure, payload, record.payload, "<result>")) {
        converted.setError(failure.error == nullptr ? "" : failure.error);
        resetHostResult(failure);
    } else {
        const BindingTypeDescriptor* descriptor =
            registry_ == nullptr ? nullptr : registry_->findTypeByHash(StaticType::HashCode<Event>());
        assignStruct(converted, &event, payload, descriptor, "<result>");
    }
    if (!converted.ok()) {
        if (DebugTraceEnabled()) {
            DebugTrace(kPayloadConversionTrace, {payload.toString(), record.eventName, converted.error()});
        }
        return;
    }
    DebugTrace(kHandlingEventTrace, {record.eventName});
    static_cast<const EventHandlerHolderFor<Event>&> (*holder)(event);
}

void PluginCore::DispatchResourceEvent(const Client::PluginResourceEvent& event) {
    std::string uri = event.uri;
    if (uri.empty() || uri.front() != '/') uri.insert(uri.begin(), '/');
    // Copies of the watches: a handler may watch, unwatch or shut down while
    // it runs; one that is no longer registered is skipped.
    std::shared_ptr<ResourceWatch> exact;
    if (auto found = exactPathHandlers_.find(uri); found != exactPathHandlers_.end()) exact = found->second;
    std::vector<std::shared_ptr<ResourceWatch>> matching;
    for (const auto& [pattern, watch] : wildcardHandlers_) {
        if (MatchesResourcePattern(pattern, uri)) matching.push_back(watch);
    }
    if (exact != nullptr && exact->active) {
        ++exact->delivered;
        exact->handler(event);
    }
    for (const std::shared_ptr<ResourceWatch>& watch : matching) {
        if (!watch->active) continue;
        ++watch->delivered;
        watch->handler(event);
    }
}

bool PluginCore::RequestClient::send(HostResponseRecord& response, const HostRequestRecord& request) {
    PluginCore* client = core_.requestClient_;
    if (client == nullptr || !client->CanSendRequest()) return false;
    client->SendRequest(&response, &request);
    return true;
}

void PluginCore::RequestClient::beginWait(const char* label, std::uint32_t flags) {
    core_.BeginWait(label, flags);
}

bool PluginCore::RequestClient::yieldToHost() {
    core_.YieldToHost();
    const PluginCore* client = core_.requestClient_;
    return client != nullptr && client->CanSendRequest();
}

void PluginCore::RequestClient::endWait() {
    core_.EndWait();
}

}  // namespace Norv
