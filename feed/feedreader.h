#ifndef FEEDQUILL_FEED_FEEDREADER_H
#define FEEDQUILL_FEED_FEEDREADER_H

#include "base/httpclient.h"
#include "feed/feeddiscovery.h"
#include "feed/feeddocument.h"

#include <wx/string.h>
#include <wx/xml/xml.h>

#include <memory>
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
// title and link of the first post that has both; or, when the first two posts are dated in
// ascending order, of the latest-dated post. One reader serves one update run.
class FeedReader
{
public:
    explicit FeedReader(wxString url);

    // Reads the feed. An address without a scheme is tried with https, and with http only when
    // no https connection can be made at all; an HTML page that names a feed in its head gives
    // that feed instead (one step only: a page named by a page is not followed).
    int Read();
    // The address the feed was read from: the one given, with its scheme, or the feed that the
    // page at that address names. The address to store for the next read.
    wxString GetFeedUrl() const { return m_feedUrl; }
    // The page that named the feed read; empty when the address given was the feed itself.
    wxString GetPageUrl() const { return m_pageUrl; }
    // Read in two steps, for a caller that runs several reads at once (HttpMulti): BeginRead
    // gives the transfer to run, or null when its result is known already; once it has run,
    // EndRead gives what Read would have returned.
    HttpClient* BeginRead();
    int EndRead();
    wxString GetTitle() const { return m_title; }
    wxString GetLink() const { return m_link; }
    // More of the newest post, each empty when the feed does not say it: its date in UTC as
    // "YYYY-MM-DDTHH:MM:SSZ", its summary as plain text on one line, its author's name (else
    // the feed's); and the feed's own title and home link.
    wxString GetDate() const { return m_date; }
    wxString GetSummary() const { return m_summary; }
    wxString GetAuthor() const { return m_author; }
    wxString GetFeedTitle() const { return m_feedTitle; }
    wxString GetFeedLink() const { return m_feedLink; }
    // What went wrong in the last Read, in words that name the address; empty after a success.
    wxString GetErrorDetail() const { return m_errorDetail; }

    // Makes Read a conditional request with the validators of the last answer read (either
    // may be empty), which came from url: they are sent to that address only, when the feed's
    // address or a redirection leads there. A server that has nothing newer answers 304
    // without a body: Read then returns 0, IsNotModified is true, and the reader has no
    // title or link.
    void SetValidators(const wxString& etag, const wxString& lastModified, const wxString& url);
    bool IsNotModified() const { return m_notModified; }
    // The address that gave the final answer, whose validators GetETag and GetLastModified are.
    wxString GetFinalUrl() const { return m_finalUrl; }
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
    // Reads the feed that the page just fetched names; false when it names none.
    bool ReadNamedFeed(int& result);
    int Fetch(wxString url);
    HttpClient* BeginFetch(const wxString& url);
    int EndFetch();
    // Takes what the feed says of itself, from the document the loader left.
    void TakeFeedDetails();
    // Forgets the post of an earlier load and gives the loader its stopper, TakeNewestPost.
    FeedDocumentLoader::Stopper StartLoading();
    // Keeps the title and link of the newest post, and stops the loading once it is known:
    // after the first post that has both, once the second post's date shows the order.
    FeedDocumentLoader::Verdict TakeNewestPost(const wxXmlNode& element, int depth);
    // Learns the order early from the second post's date element; READ_ON or STOP.
    FeedDocumentLoader::Verdict TakeSecondDate(const wxXmlNode& element);
    // Takes what the loader knows of a document it could not make: its problem, its encoding.
    void FinishLoading(const FeedDocumentLoader& loader);
    // Keeps the start of the answer, to tell an HTML page, and counts its bytes.
    void KeepHead(const char* data, size_t size);
    wxString DescribeDocument(int result) const;

    wxString m_title;
    wxString m_link;
    wxString m_date;
    wxString m_summary;
    wxString m_author;
    wxString m_feedTitle;
    wxString m_feedLink;
    wxXmlDocument m_doc;
    // The transfer between BeginRead and EndRead.
    std::unique_ptr<HttpClient> m_client;
    std::unique_ptr<FeedDocumentLoader> m_loader;
    wxString m_url;
    HttpOptions m_httpOptions;
    wxString m_baseUrl;  // the address of the final response, for relative links
    std::string m_head;      // the first bytes of the answer
    std::size_t m_bodyBytes = 0;
    std::string m_problem;   // why the loader could not make a document of the answer
    wxString m_errorDetail;
    wxString m_feedUrl;
    wxString m_pageUrl;
    FeedLinkScanner m_scanner;  // the feeds the answer names, when it is a page
    bool m_scanPages = false;    // whether the fetch looks for them
    bool m_loading = false;      // while the fetch runs: the loader wants more
    bool m_scanning = false;     // and the scanner does

    // The posts of the load so far, for TakeNewestPost.
    struct PostOrder
    {
        enum Order { UNKNOWN, NEWEST_FIRST, OLDEST_FIRST };
        int posts = 0;
        Order order = UNKNOWN;
        wxString firstDateName;  // the element that dated the first post; empty: undated
        long long firstDate = 0;
        bool kept = false;
        bool keptDated = false;
        long long keptDate = 0;
    } m_order;
    wxString m_finalUrl;
    std::vector<std::string> m_conditionalHeaders;
    std::string m_conditionalUrl;
    bool m_notModified = false;
    wxString m_etag;
    wxString m_lastModified;
};

#endif
