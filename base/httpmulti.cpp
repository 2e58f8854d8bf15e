#include "base/httpmulti.h"

#include "base/httpclient.h"

#include <algorithm>

HttpMulti::HttpMulti()
    : m_multi(curl_multi_init(), curl_multi_cleanup)
{
}

HttpMulti::~HttpMulti() = default;

void HttpMulti::Add(HttpClient& client)
{
    m_clients.push_back(&client);
}

void HttpMulti::Run()
{
    CURLM* multi = m_multi.get();
    std::vector<HttpClient*> running;
    for ( HttpClient* client : m_clients )
    {
        // Without a multi handle each transfer still runs, one after the other.
        if ( multi && curl_multi_add_handle(multi, client->GetHandle()) == CURLM_OK )
            running.push_back(client);
        else
            client->Finish();
    }
    while ( !running.empty() )
    {
        int active = 0;
        if ( curl_multi_perform(multi, &active) != CURLM_OK )
            break;
        int queued = 0;
        while ( CURLMsg* message = curl_multi_info_read(multi, &queued) )
        {
            if ( message->msg != CURLMSG_DONE )
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode code = message->data.result;
            HttpClient* client = nullptr;
            curl_easy_getinfo(handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&client));
            curl_multi_remove_handle(multi, handle);
            // A redirection prepares the next request on the same handle.
            if ( client->Continue(code) )
            {
                if ( curl_multi_add_handle(multi, handle) == CURLM_OK )
                    continue;
                client->Finish();
            }
            running.erase(std::find(running.begin(), running.end(), client));
        }
        if ( !running.empty() )
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
    // A multi handle that broke down ends what it still held as a failed transfer.
    for ( HttpClient* client : running )
    {
        curl_multi_remove_handle(multi, client->GetHandle());
        if ( client->Continue(CURLE_RECV_ERROR) )
            client->Finish();
    }
    m_clients.clear();
}
