#pragma once
// One request of the client tests, with what it brought and the window's words for its failure.
#include "encoding/error_text_ja.h"
#include "settings/http_client.h"

#include <string>
#include <utility>

namespace testhttp
{

struct Fetched {
    bool ok = false;
    long status = -1;
    std::string body;
    std::string finalUrl;
    std::string error; // empty on success
};

inline Fetched Fetch(http_client::HttpClient &client, const std::string &url,
    const http_client::HttpClient::Tick &tick = {}, http_client::Mode mode = http_client::Mode::Plain)
{
    http_client::Response response;
    const error::Result<void> got = client.Get(url, response, tick, mode);
    return { got.has_value(), response.status, std::move(response.body), std::move(response.finalUrl),
        got ? std::string() : error_text_ja::Text(got.error()) };
}

} // namespace testhttp
