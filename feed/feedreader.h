#ifndef FEEDQUILL_FEED_FEEDREADER_H
#define FEEDQUILL_FEED_FEEDREADER_H

#include "base/httpclient.h"
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

    int Read();
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
    bool m_conditional = false;
    bool m_notModified = false;
    wxString m_etag;
    wxString m_lastModified;
};

#endif
