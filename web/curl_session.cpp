#include "web/curl_session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace tollenby {
namespace {

using Clock = std::chrono::steady_clock;

// Worker threads are never joined, so a process-wide object they use must survive static destruction:
// it is built in place and never destroyed.
template <class T>
class NoDestructor {
  public:
    NoDestructor() { std::construct_at(Get()); }
    T* Get() { return std::launder(reinterpret_cast<T*>(storage_)); }

  private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

class CookieJar {
  public:
    CookieJar() : share_(curl_share_init()) {
        if (share_ == nullptr) return;
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieJar::Lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieJar::Unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    CURLSH* get() const { return share_; }

  private:
    // libcurl takes CURL_LOCK_DATA_SHARE around its own bookkeeping and CURL_LOCK_DATA_COOKIE around
    // the jar; each kind of data gets its own mutex.
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<CookieJar*>(self)->MutexFor(data).lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<CookieJar*>(self)->MutexFor(data).unlock();
    }
    std::mutex& MutexFor(curl_lock_data data) {
        auto index = static_cast<std::size_t>(data);
        return mutexes_[index < mutexes_.size() ? index : 0];
    }

    std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
    CURLSH* share_;  // never cleaned up: see NoDestructor
};

// Per-transfer state the callbacks write into; it lives on Perform's stack.
struct TransferState {
    TransferState(const FetchLimits& transferLimits, std::stop_token token)
        : limits(transferLimits), cancel(token) {}

    const FetchLimits& limits;
    std::stop_token cancel;
    ByteString body;
    Text headerBlock;
    bool overCap = false;
    curl_off_t lastUploaded = 0;
    Clock::time_point lastActivity{};  // zero until the request is under way
};

void NoteActivity(TransferState& state) {
    if (state.lastActivity != Clock::time_point{}) state.lastActivity = Clock::now();
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    size_t length = size * count;
    if (length > state.limits.maxBodyBytes - std::min(state.body.size(), state.limits.maxBodyBytes)) {
        state.overCap = true;
        return 0;  // stops the transfer with CURLE_WRITE_ERROR
    }
    state.body.append(data, length);
    NoteActivity(state);
    return length;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& state = *static_cast<TransferState*>(user);
    size_t length = size * count;
    std::string_view line(data, length);
    // Every response (each redirect hop, each interim 1xx) starts with its status line: keep the last.
    if (line.starts_with("HTTP/")) state.headerBlock.clear();
    if (state.headerBlock.size() + length > kMaxHeaderBytes) {
        state.overCap = true;
        return 0;
    }
    state.headerBlock.append(line);
    NoteActivity(state);
    return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& state = *static_cast<TransferState*>(user);
    if (state.cancel.stop_requested()) return 1;  // aborts with CURLE_ABORTED_BY_CALLBACK
    if (uploaded != state.lastUploaded) {
        state.lastUploaded = uploaded;
        NoteActivity(state);
    }
    return 0;
}

// The stall clock starts once connecting is over and the request is about to go out; until then the
// connect time-out applies.
bool Stalled(CURL* easy, TransferState& state) {
    Clock::time_point now = Clock::now();
    if (state.lastActivity == Clock::time_point{}) {
        curl_off_t pretransfer = 0;
        curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
        if (pretransfer > 0) state.lastActivity = now;
        return false;
    }
    return now - state.lastActivity > state.limits.stall;
}

// Keeps the easy handle in the multi handle for the duration of one transfer.
class MultiAttachment {
  public:
    MultiAttachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        attached_ = curl_multi_add_handle(multi, easy) == CURLM_OK;
    }
    ~MultiAttachment() {
        if (attached_) curl_multi_remove_handle(multi_, easy_);
    }
    MultiAttachment(const MultiAttachment&) = delete;
    MultiAttachment& operator=(const MultiAttachment&) = delete;
    bool attached() const { return attached_; }

  private:
    CURLM* multi_;
    CURL* easy_;
    bool attached_;
};

TransferFailure FailureOf(CURLcode code, const TransferState& state) {
    if (state.overCap) return TransferFailure::OverCap;
    switch (code) {
        case CURLE_OK:
            return TransferFailure::None;
        case CURLE_OPERATION_TIMEDOUT:
            return TransferFailure::TimedOut;
        case CURLE_TOO_MANY_REDIRECTS:
            return TransferFailure::TooManyRedirects;
        case CURLE_FILESIZE_EXCEEDED:
            return TransferFailure::OverCap;
        case CURLE_ABORTED_BY_CALLBACK:
            return TransferFailure::Cancelled;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return TransferFailure::BadAddress;
        default:
            return TransferFailure::NoResponse;
    }
}

// Drives the transfer to its end; None when a complete response arrived.
TransferFailure RunToCompletion(CURLM* multi, CURL* easy, TransferState& state) {
    MultiAttachment attachment(multi, easy);
    if (!attachment.attached()) return TransferFailure::NoResponse;
    while (true) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) return TransferFailure::NoResponse;
        if (running == 0) break;
        if (state.cancel.stop_requested()) return TransferFailure::Cancelled;
        if (Stalled(easy, state)) return TransferFailure::TimedOut;
        // Wakes on socket activity or after the watch interval, whichever comes first.
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(kWatchInterval.count()), nullptr);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
            return FailureOf(message->data.result, state);
    }
    return TransferFailure::NoResponse;
}

// Certificates are checked against the system's authorities, or only against those in the PEM file that
// TOLLENBY_CA_FILE names when it is set: tests and benchmarks serve HTTPS under an authority they made
// themselves. Checking is never switched off.
const char* CaFileFromEnvironment() {
    static const std::string file = [] {
        const char* value = std::getenv("TOLLENBY_CA_FILE");
        return value != nullptr ? std::string(value) : std::string();
    }();
    return file.empty() ? nullptr : file.c_str();
}

}  // namespace

bool InitHttp() {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised;
}

CURLSH* SharedCookieJar() {
    static NoDestructor<CookieJar> jar;
    return jar.Get()->get();
}

void CurlHeaderList::Append(const std::string& line) {
    curl_slist* grown = curl_slist_append(list_.get(), line.c_str());
    if (grown == nullptr) return;  // out of memory: the line is dropped, the list stays intact
    list_.release();
    list_.reset(grown);
}

std::string WireUrl(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string wire;
    wire.reserve(url.size());
    for (char c : url) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            wire.push_back('%');
            wire.push_back(kHex[byte >> 4]);
            wire.push_back(kHex[byte & 0x0F]);
        } else {
            wire.push_back(c);
        }
    }
    return wire;
}

HttpSession::HttpSession() : impl_(std::make_unique<Impl>()) {
    InitHttp();
    impl_->multi.reset(curl_multi_init());
    impl_->easy.reset(curl_easy_init());
}
HttpSession::~HttpSession() = default;
HttpSession::HttpSession(HttpSession&&) noexcept = default;
HttpSession& HttpSession::operator=(HttpSession&&) noexcept = default;

bool HttpSession::Valid() const {
    return impl_ && impl_->multi && impl_->easy;
}

CURL* HttpSession::Impl::Prepare() {
    CURL* handle = easy.get();
    // libcurl 7.88 keeps the list of cookie files across a reset and never frees it: clear it first
    // (this leaves the shared jar's cookies alone).
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, static_cast<char*>(nullptr));
    curl_easy_reset(handle);
    // A reset keeps the share attachment; every fetch states its own.
    curl_easy_setopt(handle, CURLOPT_SHARE, static_cast<CURLSH*>(nullptr));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    // An empty proxy text means "no proxy", also when http_proxy is set in the environment.
    curl_easy_setopt(handle, CURLOPT_PROXY, "");
    curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (const char* caFile = CaFileFromEnvironment()) curl_easy_setopt(handle, CURLOPT_CAINFO, caFile);
    return handle;
}

TransferResult HttpSession::Impl::Perform(const FetchLimits& limits, std::stop_token cancel) {
    CURL* handle = easy.get();
    TransferState state{limits, cancel};
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total.count()));
    if (limits.lowSpeedBytesPerSecond > 0 && limits.lowSpeedTime.count() > 0) {
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
    }

    TransferResult result;
    result.failure =
        cancel.stop_requested() ? TransferFailure::Cancelled : RunToCompletion(multi.get(), handle, state);
    if (result.failure != TransferFailure::None) return result;
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    result.ok = true;
    result.body = std::move(state.body);
    result.headerBlock = std::move(state.headerBlock);
    result.status = static_cast<int>(status);
    return result;
}

}  // namespace tollenby
