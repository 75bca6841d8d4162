// The scenario `host_sim` plays by default: the plugin's job from start to end.
// Kept as scenario text, read by the same reader as a person's file, so that it
// doubles as an example of the format (`host_sim --print-default-scenario`).
#include "tools/host-sim/scenario.h"

namespace Norv::HostSim {

const char* const kDefaultScenarioText = R"({
  "title": "The login watcher keeps the messaging connection in step with the login",
  "answers": [
    {"method": "GET", "path": "/vek-login/v1/session", "status": 200, "stream": 8,
     "body": {"state": "LOGGED_OUT"}},
    {"method": "GET", "path": "/ulm-auth/v1/authorization/access-token", "status": 404,
     "error": "No access token"},
    {"method": "POST", "path": "/norv-messaging-service/v1/connect", "status": 200},
    {"method": "DELETE", "path": "/norv-messaging-service/v1/connect", "status": 200}
  ],
  "steps": [
    {"title": "A login in progress: nothing to do yet",
     "event": {"path": "/vek-login/v1/session", "eventType": "Update",
               "data": {"state": "IN_PROGRESS"}},
     "expectRequests": []},
    {"title": "The login succeeds and the host has no access token: connect with the identity token",
     "event": {"path": "/vek-login/v1/session", "eventType": "Update",
               "data": {"state": "SUCCEEDED", "idToken": "id-token-1"}},
     "expectRequests": ["GET /ulm-auth/v1/authorization/access-token",
                        "POST /norv-messaging-service/v1/connect"]},
    {"title": "The identity token changes: connect again with the new one",
     "event": {"path": "/vek-login/v1/session", "eventType": "Update",
               "data": {"state": "SUCCEEDED", "idToken": "id-token-2"}},
     "expectRequests": ["GET /ulm-auth/v1/authorization/access-token",
                        "POST /norv-messaging-service/v1/connect"]},
    {"title": "The user logs out: disconnect",
     "event": {"path": "/vek-login/v1/session", "eventType": "Delete"},
     "expectRequests": ["DELETE /norv-messaging-service/v1/connect"]}
  ]
}
)";

}  // namespace Norv::HostSim
