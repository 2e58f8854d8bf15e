#ifndef FEEDQUILL_FEED_FEEDREADER_H
#define FEEDQUILL_FEED_FEEDREADER_H

#include "base/httpclient.h"
#include "feed/feeddocument.h"

#include <wx/string.h>
#include <wx/xml/xml.h>

#include <string>

// Feed error numbers of FeedReader::Read beyond those of the transfer (see HttpResult).
enum FeedResult
{
    FEED_OK = 0,
    FEED_NOT_A_FEED = 1,     // the root element is neither "rss" nor "feed"
    FEED_NOT_XML = 15,       // no document: empty, not well-formed, or refused
    FEED_NO_ENTRY = 21,      // an Atom feed without an entry that has a title and a link
    FEED_NO_ITEM = 31        // an RSS feed without an item that has a title and a link
};

// Reads the newest post of a feed: fetches the address, recognises RSS or Atom and takes the
// title and link of the first post that has both. One reader serves one update run.
class FeedReader
{
public:
    explicit FeedReader(wxString url);

    int Read();
    wxString GetTitle() const { return m_title; }
    wxString GetLink() const { return m_link; }

    // Makes Read a conditional request with the validators of the last answer read (either
    // may be empty). A server that has nothing newer answers 304 without a body: Read then
    // returns 0, IsNotModified is true, and the reader has no title or link.
    void SetValidators(const wxString& etag, const wxString& lastModified);
    bool IsNotModified() const { return m_notModified; }
    // The validators of the final answer, for the next read; empty when it sent none.
    wxString GetETag() const { return m_etag; }
    wxString GetLastModified() const { return m_lastModified; }

    // Loads a document from memory the way Read loads a response, reading no further than
    // the newest post; the result is 0 or FEED_NOT_XML. For documents that did not come
    // over the network: tests and tools.
    int LoadDocument(const char* data, size_t size);
    // Recognises the document loaded and gives the result for its newest post, as Read does
    // after the transfer.
    int ParseDocument();

    // The request a feed read makes: headers and limits. Tests shorten the limits.
    static HttpOptions GetDefaultHttpOptions();
    void SetHttpOptions(const HttpOptions& options) { m_httpOptions = options; }
    // Changes the time limits of every feed read that follows in this process; servers that
    // hang are worth waiting for only a second or two in tests.
    static void SetTimeLimits(long connectSecs, long lowSpeedSecs, long totalSecs);

private:
    int Fetch(wxString url);
    // Forgets the post of an earlier load and gives the loader its stopper, TakeNewestPost.
    FeedDocumentLoader::Stopper StartLoading();
    // True, with the post's title and link kept, once element is the feed's first post that
    // has both; the rest of the feed is then not read.
    bool TakeNewestPost(const wxXmlNode& element, int depth);

    wxString m_title;
    wxString m_link;
    wxXmlDocument m_doc;
    wxString m_url;
    HttpOptions m_httpOptions;
    wxString m_baseUrl;  // the address of the final response, for relative links
    bool m_conditional = false;
    bool m_notModified = false;
    wxString m_etag;
    wxString m_lastModified;
};

#endif
