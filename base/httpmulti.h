#ifndef FEEDQUILL_BASE_HTTPMULTI_H
#define FEEDQUILL_BASE_HTTPMULTI_H

#include <curl/curl.h>

#include <memory>
#include <vector>

class HttpClient;

// Runs the transfers of several HttpClients at the same time on the calling thread (libcurl's
// multi interface). Each client keeps its own limits, redirections, validators and early
// stop: the multi handle only waits for all of them together.
class HttpMulti
{
public:
    HttpMulti();
    ~HttpMulti();
    HttpMulti(const HttpMulti&) = delete;
    HttpMulti& operator=(const HttpMulti&) = delete;

    // Adds a client whose Start prepared a request; it must outlive Run.
    void Add(HttpClient& client);
    // Runs every transfer added to its end; each client's GetResult then says how it ended.
    void Run();

private:
    std::unique_ptr<CURLM, CURLMcode (*)(CURLM*)> m_multi;
    std::vector<HttpClient*> m_clients;
};

#endif
