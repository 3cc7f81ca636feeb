#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "station/StationRequests.h"

// JSON text for the wire. Texts from the log or a programmer may hold bytes
// that are no UTF-8; they are replaced rather than failing the answer.
inline std::string JsonText(const nlohmann::json& value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// One answer of the API: its HTTP status and its JSON body. Every refusal is
// {"error": "a sentence"} in the caller's language, some with a "code".
struct ApiReply {
    int status = 200;
    nlohmann::json body;

    static ApiReply refusal(int status, const RequestProblem& problem, int language)
    {
        return ApiReply{status, nlohmann::json{{"error", problem.text(language)}}};
    }
    static ApiReply refusal(int status, Msg message, int language, const std::string& first = {})
    {
        return refusal(status, RequestProblem{message, first, {}, {}}, language);
    }
    // A refusal a client tells apart by `code`, a word that stays when the
    // texts change.
    static ApiReply refusal(int status, const std::string& text, const char* code)
    {
        return ApiReply{status, nlohmann::json{{"error", text}, {"code", code}}};
    }
};
