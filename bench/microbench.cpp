// Micro-benchmarks of reading the newest post: the extraction alone on documents in memory, the
// toolkit's whole-document loader for contrast, and complete reads and update runs against a
// loopback server. The feeds are the generated ones of feedgen.h.

#include "feedgen.h"
#include "fixtureserver.h"

#include "base/datafolders.h"
#include "project/configfile.h"
#include "feed/feeddocument.h"
#include "feed/feedreader.h"
#include "base/httpclient.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace
{

struct Size
{
    const char* label;
    std::size_t bytes;
};

const Size SIZES[] = {
    {"10K", 10u << 10}, {"1M", 1u << 20}, {"10M", 10u << 20}, {"30M", 30u << 20}};

const char* FormatName(FeedGen::Format format)
{
    return format == FeedGen::RSS ? "rss" : "atom";
}

// Generated on first use and kept: the larger ones take a moment to make.
const FeedGen::Feed& GetFeed(FeedGen::Format format, std::size_t bytes)
{
    static std::map<std::pair<int, std::size_t>, std::unique_ptr<FeedGen::Feed>> feeds;
    auto& feed = feeds[{format, bytes}];
    if ( !feed )
        feed = std::make_unique<FeedGen::Feed>(FeedGen::Generate(format, bytes));
    return *feed;
}

bool HasNewestPost(const FeedReader& reader, const FeedGen::Feed& feed)
{
    return reader.GetTitle() == wxString::FromUTF8(feed.newestTitle)
           && reader.GetLink() == wxString::FromUTF8(feed.newestLink);
}

void Describe(benchmark::State& state, const FeedGen::Feed& feed)
{
    state.counters["feed_bytes"] = static_cast<double>(feed.text.size());
}

// What an update does with a feed once it is in memory: builds the document up to the newest
// post and takes its title and link.
void Extract(benchmark::State& state, FeedGen::Format format, std::size_t bytes)
{
    const FeedGen::Feed& feed = GetFeed(format, bytes);
    for ( auto _ : state )
    {
        FeedReader reader(wxString{});
        if ( reader.LoadDocument(feed.text.data(), feed.text.size()) != FEED_OK
             || reader.ParseDocument() != FEED_OK )
        {
            state.SkipWithError("the feed was not read");
            return;
        }
        benchmark::DoNotOptimize(reader.GetTitle());
        if ( !HasNewestPost(reader, feed) )
        {
            state.SkipWithError("wrong newest post");
            return;
        }
    }
    Describe(state, feed);
}

// The toolkit's own loader, which reads the whole document, for contrast.
void WxXmlLoad(benchmark::State& state, FeedGen::Format format, std::size_t bytes)
{
    const FeedGen::Feed& feed = GetFeed(format, bytes);
    const wxString root = format == FeedGen::RSS ? "rss" : "feed";
    for ( auto _ : state )
    {
        wxMemoryInputStream stream(feed.text.data(), feed.text.size());
        wxXmlDocument doc;
        if ( !doc.Load(stream) || !doc.GetRoot() || doc.GetRoot()->GetName() != root )
        {
            state.SkipWithError("the feed was not loaded");
            return;
        }
    }
    Describe(state, feed);
}

std::string ServeFeed(FixtureServer& server, FeedGen::Format format, const FeedGen::Feed& feed)
{
    // Shared: the server copies the handler for each request, and copying the response itself
    // (30 MB) would be timed with every read.
    auto response = std::make_shared<const std::string>(FixtureServer::Response(
        200, feed.text,
        {{"Content-Type", format == FeedGen::RSS ? "application/rss+xml" : "application/atom+xml"}}));
    server.Handle("/feed", [response](const FixtureRequest&, FixtureConnection& connection)
                  {
                      connection.Send(*response);
                  });
    return server.Url("/feed");
}

// FeedReader::Read against a loopback server: connection, request, the top of the body.
void FeedRead(benchmark::State& state, FeedGen::Format format, std::size_t bytes)
{
    const FeedGen::Feed& feed = GetFeed(format, bytes);
    // One server per batch of iterations: it keeps a thread per connection until it ends.
    FixtureServer server;
    const std::string url = ServeFeed(server, format, feed);
    for ( auto _ : state )
    {
        FeedReader reader(url);
        if ( reader.Read() != FEED_OK || !HasNewestPost(reader, feed) )
        {
            state.SkipWithError("the feed was not read");
            return;
        }
    }
    Describe(state, feed);
}

// The whole body over the same connection, read and thrown away: what a reader that needs the
// whole document pays before it even starts parsing.
void Transfer(benchmark::State& state, FeedGen::Format format, std::size_t bytes)
{
    const FeedGen::Feed& feed = GetFeed(format, bytes);
    FixtureServer server;
    const std::string url = ServeFeed(server, format, feed);
    for ( auto _ : state )
    {
        std::size_t received = 0;
        HttpClient client(FeedReader::GetDefaultHttpOptions());
        if ( client.Get(url, [&received](const char*, std::size_t size)
                             {
                                 received += size;
                                 return true;
                             })
                 != HTTP_OK
             || received != feed.text.size() )
        {
            state.SkipWithError("the transfer failed");
            return;
        }
    }
    Describe(state, feed);
}

// A complete update as "feedquill -q" runs it, without the process start: read the feed,
// store the post in the configuration (flushed), write the signature file.
void ProjectUpdate(benchmark::State& state, FeedGen::Format format, std::size_t bytes)
{
    const FeedGen::Feed& feed = GetFeed(format, bytes);
    FixtureServer server;
    const std::string url = ServeFeed(server, format, feed);

    char pattern[] = "/tmp/feedquill-bench-XXXXXX";
    if ( !mkdtemp(pattern) )
    {
        state.SkipWithError("no temporary folder");
        return;
    }
    const wxString dataDir = wxString(pattern) + "/";
    g_dataDir = dataDir;
    g_programDir = dataDir;
    wxFileName::Mkdir(dataDir + "SignatureTemplates", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    OpenConfig();
    g_project = Project();
    g_project.Load("default");
    g_project.m_feedURL = url;
    g_project.m_filePath = dataDir + "signature.txt";
    g_project.m_template = "%title% <%link%>";
    g_project.m_templateIsSample = false;  // as once the template is saved
    g_project.m_quiet = true;
    g_project.m_cmdMode = true;

    for ( auto _ : state )
    {
        if ( g_project.Update() != SIGNATURE_WRITTEN )
        {
            state.SkipWithError("the signature was not written");
            break;
        }
    }
    std::ifstream in(std::string(g_project.m_filePath.fn_str()), std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    if ( !state.error_occurred() && written != feed.newestTitle + " <" + feed.newestLink + ">" )
        state.SkipWithError("wrong signature");

    std::unique_ptr<wxConfigBase> config(wxConfigBase::Set(nullptr));
    config.reset();
    g_project = Project();
    wxFileName::Rmdir(dataDir, wxPATH_RMDIR_RECURSIVE);
    Describe(state, feed);
}

template <class Function>
// Documents of many siblings or of one element with many attributes load in time linear in
// their size: a list searched on every append would make them quadratic. Google Benchmark fits
// the growth (the "BigO" line); it belongs here, not in a test with a time limit.
std::string ManySiblings(int count)
{
    std::string xml = "<r>";
    for ( int i = 0; i < count; ++i )
        xml += "<i>post</i>text";
    return xml + "</r>";
}

std::string ManyAttributes(int count)
{
    std::string xml = "<r";
    for ( int i = 0; i < count; ++i )
        xml += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    return xml + "/>";
}

void LoadWide(benchmark::State& state, std::string (*make)(int))
{
    const std::string xml = make(static_cast<int>(state.range(0)));
    for ( auto _ : state )
    {
        wxXmlDocument doc;
        FeedDocumentLoader loader(doc);
        loader.Feed(xml.data(), xml.size());
        if ( loader.Finish() != FeedDocumentLoader::COMPLETE )
            state.SkipWithError("the document did not load");
        benchmark::DoNotOptimize(doc.GetRoot());
    }
    state.SetComplexityN(state.range(0));
}

void Register(const char* name, Function function, FeedGen::Format format, const Size& size,
              benchmark::TimeUnit unit)
{
    const std::string full = std::string(name) + "/" + FormatName(format) + "/" + size.label;
    benchmark::RegisterBenchmark(full.c_str(), function, format, size.bytes)
        ->Unit(unit)
        ->UseRealTime();
}

} // anonymous namespace

int main(int argc, char** argv)
{
    wxInitializer initializer;
    if ( !initializer.IsOk() )
        return 1;
    // Errors of a failing run are reported through the benchmark, not by pop-ups or stderr.
    wxLog::EnableLogging(false);

    benchmark::Initialize(&argc, argv);
    if ( benchmark::ReportUnrecognizedArguments(argc, argv) )
        return 1;
    for ( const FeedGen::Format format : {FeedGen::RSS, FeedGen::ATOM} )
    {
        for ( const Size& size : SIZES )
            Register("Extract", Extract, format, size, benchmark::kMicrosecond);
        for ( const Size& size : SIZES )
        {
            if ( size.bytes <= (1u << 20) )
                Register("WxXmlLoad", WxXmlLoad, format, size, benchmark::kMicrosecond);
        }
        for ( const Size& size : SIZES )
            Register("FeedRead", FeedRead, format, size, benchmark::kMicrosecond);
        for ( const Size& size : SIZES )
            Register("ProjectUpdate", ProjectUpdate, format, size, benchmark::kMicrosecond);
        for ( const Size& size : SIZES )
            Register("Transfer", Transfer, format, size, benchmark::kMicrosecond);
    }
    for ( const auto& wide : { std::make_pair("LoadSiblings", &ManySiblings),
                               std::make_pair("LoadAttributes", &ManyAttributes) } )
    {
        benchmark::RegisterBenchmark(wide.first, LoadWide, wide.second)
            ->RangeMultiplier(2)->Range(4096, 32768)->Complexity(benchmark::oN)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
