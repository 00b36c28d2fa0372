// The HTTP side of the service, on one thread: connections, their requests and answers, the
// timeouts, the limits and the stop on SIGTERM. Requests are read and answers written with
// Boost.Beast; a check runs in a slot of the Pool and reads the body from its Pipe, which
// this side fills only as fast as the check empties it.
#include "server.hpp"

#include <utility> // before Asio: its coroutine header uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <unistd.h>

#include "check.hpp"
#include "metrics.hpp"
#include "request.hpp"

namespace kufd {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using error_code = boost::system::error_code;

class Session;

struct Server::Impl {
  explicit Impl(const Settings &settings);
  void accept();
  void refuse(tcp::socket &socket);
  void drain();
  void finish_if_idle();
  void log(const std::string &line) const;
  std::string next_id();

  Settings s;
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  asio::signal_set signals{ioc};
  asio::steady_timer grace{ioc};
  asio::steady_timer accept_pause{ioc};
  // Keeps run() going while nothing waits on this thread but a check's end on another.
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work{
      ioc.get_executor()};
  Metrics metrics;
  std::set<Session *> sessions; // the connections open
  std::size_t checks_open = 0;  // checks submitted whose end this thread has not been told of
  bool draining = false;
  std::string id_prefix;
  std::uint64_t ids = 0;
  Pool pool; // last: its threads are joined before the rest goes
};

namespace {

const char *route_of(std::string_view path) {
  static const char *const routes[] = {"/v1/check", "/v1/copy", "/healthz", "/readyz", "/metrics"};
  for (const char *r : routes)
    if (path == r)
      return r;
  return nullptr;
}

bool iequals(std::string_view a, std::string_view b) { return beast::iequals(a, b); }

// A message that is not HTTP as the parser reads it, as against a connection that ended.
bool malformed(error_code ec) {
  return ec.category() == http::make_error_code(http::error::bad_method).category() &&
         ec != http::error::end_of_stream && ec != http::error::partial_message;
}

std::string json_text(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\')
      out.push_back('\\');
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
      out.push_back('?');
    else
      out.push_back(c);
  }
  return out + "\"";
}

std::string now_text() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return text;
}

} // namespace

// One connection: its requests one after another.
class Session : public std::enable_shared_from_this<Session> {
public:
  Session(Server::Impl &server, tcp::socket socket)
      : srv_(server), sock_(std::move(socket)), timer_(server.ioc),
        buf_(server.s.max_header + (64u << 10)) {}

  void start() {
    srv_.sessions.insert(this);
    srv_.metrics.connections_total.fetch_add(1);
    srv_.metrics.connections.fetch_add(1);
    error_code ec;
    const auto peer = sock_.remote_endpoint(ec);
    if (!ec)
      remote_ = peer.address().to_string() + ":" + std::to_string(peer.port());
    sock_.set_option(tcp::no_delay(true), ec);
    await_request();
  }

  // The service stops: a connection between requests closes now, one in a request after
  // its answer.
  void drain() {
    if (phase_ == Phase::idle)
      close();
  }

  // The grace period ran out.
  void kill() {
    if (check_ && !check_done_)
      outcome_ = Outcome::stopped;
    close();
  }

private:
  enum class Phase { idle, header, waiting, body, checking, answering, closing, closed };

  // ---- the one timer of the connection: when it runs out, the operation waited for ends
  void arm(std::chrono::milliseconds d) {
    timed_out_ = false;
    const unsigned generation = ++generation_;
    timer_.expires_after(d);
    timer_.async_wait([self = shared_from_this(), generation](error_code ec) {
      if (ec || generation != self->generation_)
        return;
      self->timed_out_ = true;
      error_code ignored;
      self->sock_.cancel(ignored);
    });
  }
  void disarm() {
    ++generation_;
    timer_.cancel();
  }

  void await_request() {
    phase_ = Phase::idle;
    if (srv_.draining)
      return close();
    if (buf_.size() > 0)
      return read_header();
    arm(srv_.s.idle_timeout);
    sock_.async_read_some(buf_.prepare(4096),
                          [self = shared_from_this()](error_code ec, std::size_t n) {
                            self->disarm();
                            if (self->phase_ != Phase::idle)
                              return;
                            if (ec)
                              return self->close();
                            self->buf_.commit(n);
                            self->read_header();
                          });
  }

  void read_header() {
    phase_ = Phase::header;
    r_ = Exchange{};
    outcome_ = Outcome::checked;
    direct_ = false;
    r_.id = srv_.next_id();
    r_.start = Clock::now();
    parser_.emplace();
    parser_->header_limit(srv_.s.max_header);
    parser_->body_limit(srv_.s.max_body);
    header_bytes_ = 0;
    arm(srv_.s.header_timeout);
    read_header_part();
  }

  // The parser bounds only the part of the header it has not taken yet: the header is read
  // in parts, and their sum is held against the limit.
  void read_header_part() {
    http::async_read_some(sock_, buf_, *parser_,
                          [self = shared_from_this()](error_code ec, std::size_t n) {
                            if (self->phase_ != Phase::header)
                              return;
                            self->header_bytes_ += n;
                            if (!ec && self->header_bytes_ > self->srv_.s.max_header)
                              ec = http::error::header_limit;
                            if (!ec && !self->parser_->is_header_done())
                              return self->read_header_part();
                            self->disarm();
                            self->on_header(ec);
                          });
  }

  void on_header(error_code ec) {
    if (ec) {
      if (timed_out_)
        return reply(http::status::request_timeout, "the header did not come in time\n");
      if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
        return reply(http::status::request_header_fields_too_large,
                     "the header is over " + std::to_string(srv_.s.max_header) + " bytes\n");
      if (ec == http::error::body_limit)
        return reply(http::status::payload_too_large,
                     "the body is over " + std::to_string(srv_.s.max_body) + " bytes\n");
      if (malformed(ec))
        return reply(http::status::bad_request, "the request cannot be read as HTTP/1.1\n");
      return close(); // the connection ended before a whole header
    }
    srv_.metrics.requests.fetch_add(1);
    const auto &req = parser_->get();
    r_.method = req.method() == http::verb::get    ? "GET"
                : req.method() == http::verb::post ? "POST"
                                                   : "other";
    r_.keep_alive = req.keep_alive();
    if (req.version() != 10 && req.version() != 11)
      return reply(http::status::http_version_not_supported, "HTTP/1.1 or 1.0 only\n");
    const std::string_view target(req.target().data(), req.target().size());
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    const char *route = route_of(path);
    if (route == nullptr)
      return reply(http::status::not_found, "no such path\n");
    r_.route = route;
    const bool check = r_.route[1] == 'v';
    const http::verb wanted = check ? http::verb::post : http::verb::get;
    if (req.method() != wanted)
      return reply(http::status::method_not_allowed, "method not allowed\n",
                   check ? "POST" : "GET");
    const auto authorization = req[http::field::authorization];
    const bool open_route =
        r_.route == std::string_view("/healthz") || r_.route == std::string_view("/readyz");
    if (!open_route && !authorized({authorization.data(), authorization.size()}, srv_.s.token))
      return reply(http::status::unauthorized, "a bearer token is needed\n");
    if (!check)
      return serve_get();

    Query q;
    std::string why;
    if (!parse_query(query, r_.route == std::string_view("/v1/copy"), q, why))
      return reply(http::status::bad_request, why + "\n");
    r_.format = r_.route == std::string_view("/v1/copy") ? Format::copy : q.format;
    const auto expect = req[http::field::expect];
    if (!expect.empty()) {
      if (!iequals({expect.data(), expect.size()}, "100-continue"))
        return reply(http::status::expectation_failed, "only 100-continue is expected\n");
      r_.send_continue = req.version() == 11;
    }
    const auto coding = req[http::field::content_encoding];
    if (!coding.empty() && !iequals({coding.data(), coding.size()}, "identity"))
      return reply(http::status::unsupported_media_type, "the body is the report as it is\n");
    // A transfer coding that does not end in chunked leaves the body's end unknown.
    const auto transfer = req[http::field::transfer_encoding];
    if (!transfer.empty() && !parser_->chunked())
      return reply(http::status::bad_request, "the transfer coding does not end in chunked\n");
    if (!transfer.empty() && !iequals({transfer.data(), transfer.size()}, "chunked"))
      return reply(http::status::not_implemented, "chunked is the only transfer coding\n");
    if (!parser_->chunked() && !parser_->content_length())
      return reply(http::status::length_required, "the report is the body: it is missing\n");
    if (srv_.draining) {
      srv_.metrics.refused[static_cast<std::size_t>(Refusal::draining)].fetch_add(1);
      return reply(http::status::service_unavailable, "the service is stopping\n", nullptr, 1);
    }

    check_ = std::make_shared<Check>(srv_.s.hold, srv_.s.max_answer, srv_.s.spool_dir);
    check_->format = r_.format;
    check_->suppress_warnings = q.suppress_warnings;
    check_->name = std::move(q.name);
    check_->threads = srv_.s.check_threads;
    check_->max_records = srv_.s.max_records;
    auto self = shared_from_this();
    check_->on_start = [self] { asio::post(self->srv_.ioc, [self] { self->begin_body(); }); };
    check_->on_done = [self] { asio::post(self->srv_.ioc, [self] { self->check_done(); }); };
    check_->pipe.on_resume([self] { asio::post(self->srv_.ioc, [self] { self->read_body(); }); });
    check_done_ = false;
    phase_ = Phase::waiting;
    if (srv_.pool.submit(check_) == Pool::Admit::refused) {
      check_.reset();
      srv_.metrics.refused[static_cast<std::size_t>(Refusal::busy)].fetch_add(1);
      return reply(http::status::service_unavailable, "every check slot is busy\n", nullptr, 1);
    }
    ++srv_.checks_open;
  }

  void serve_get() {
    if (r_.route == std::string_view("/healthz"))
      return reply(http::status::ok, "ok\n");
    if (r_.route == std::string_view("/readyz")) {
      if (srv_.draining)
        return reply(http::status::service_unavailable, "stopping\n", nullptr, 1);
      if (srv_.pool.full())
        return reply(http::status::service_unavailable, "every check slot is busy\n", nullptr, 1);
      return reply(http::status::ok, "ready\n");
    }
    return reply(
        http::status::ok,
        srv_.metrics.text(srv_.pool.running(), srv_.pool.waiting(), srv_.s.checks, srv_.s.queue),
        nullptr, 0, "text/plain; version=0.0.4; charset=utf-8");
  }

  // ---- the body, into the check's pipe
  void begin_body() {
    if (phase_ != Phase::waiting)
      return;
    phase_ = Phase::body;
    r_.began = Clock::now();
    if (!r_.send_continue)
      return start_body();
    interim_.emplace(http::status::continue_, 11);
    interim_pending_ = true;
    arm(srv_.s.body_timeout);
    http::async_write(sock_, *interim_, [self = shared_from_this()](error_code ec, std::size_t) {
      self->disarm();
      self->interim_pending_ = false;
      if (self->done_waiting_) { // the check ended meanwhile, having read nothing
        self->done_waiting_ = false;
        return self->check_done();
      }
      if (self->phase_ != Phase::body)
        return;
      if (ec)
        return self->body_failed(self->timed_out_ ? Outcome::timeout : Outcome::client_gone);
      self->start_body();
    });
  }

  // A body of known length is read by the check's thread from the socket itself: no copy
  // through this thread, no hand-over per piece. Chunks are read here, through the parser.
  void start_body() {
    if (parser_->chunked() || !parser_->content_length())
      return read_body();
    const std::uint64_t length = *parser_->content_length();
    const auto taken = static_cast<std::size_t>(std::min<std::uint64_t>(buf_.size(), length));
    std::string prefix(static_cast<const char *>(buf_.data().data()), taken);
    buf_.consume(taken);
    direct_ = true;
    check_->pipe.direct(sock_.native_handle(), std::move(prefix), length - taken,
                        static_cast<int>(srv_.s.body_timeout.count()));
  }

  // The body was read to its end, here or by the check.
  bool body_whole() const {
    if (direct_)
      return check_done_ && check_ && check_->pipe.end() == Pipe::End::whole;
    return parser_ && parser_->is_done();
  }

  void read_body() {
    if (phase_ != Phase::body || reading_)
      return;
    if (parser_->is_done())
      return body_done();
    Pipe::Stretch to{discard_, sizeof discard_};
    into_pipe_ = !check_done_;
    if (into_pipe_) {
      to = check_->pipe.space();
      if (to.size == 0)
        return; // the check's thread calls read_body again when half the pipe is free
    }
    reading_ = true;
    parser_->get().body().data = to.data;
    parser_->get().body().size = to.size;
    arm(srv_.s.body_timeout);
    http::async_read_some(
        sock_, buf_, *parser_,
        [self = shared_from_this(), offered = to.size](error_code ec, std::size_t) {
          self->disarm();
          self->reading_ = false;
          if (self->phase_ == Phase::body)
            self->on_body(ec, offered);
        });
  }

  void on_body(error_code ec, std::size_t offered) {
    const std::size_t got = offered - parser_->get().body().size;
    if (into_pipe_)
      check_->pipe.commit(got);
    r_.bytes_in += got;
    if (ec == http::error::need_buffer)
      ec = {};
    if (ec) {
      if (timed_out_)
        return body_failed(Outcome::timeout);
      if (ec == http::error::body_limit)
        return body_failed(Outcome::too_large);
      if (malformed(ec))
        return body_failed(Outcome::bad_body);
      return body_failed(Outcome::client_gone);
    }
    read_body();
  }

  void body_done() {
    if (!check_done_) {
      check_->pipe.finish();
      phase_ = Phase::checking;
      return;
    }
    answer();
  }

  // The body will not be whole: the check stops, and the client is told why if it listens.
  void body_failed(Outcome why) {
    outcome_ = why;
    check_->pipe.abort();
    switch (why) {
    case Outcome::timeout:
      return reply(http::status::request_timeout, "the body stalled\n");
    case Outcome::too_large:
      return reply(http::status::payload_too_large,
                   "the body is over " + std::to_string(srv_.s.max_body) + " bytes\n");
    case Outcome::bad_body:
      return reply(http::status::bad_request, "the body's chunks cannot be read\n");
    default:
      return close();
    }
  }

  // Told by the check's thread.
  void check_done() {
    if (interim_pending_) { // one write at a time: after the 100 Continue
      done_waiting_ = true;
      return;
    }
    check_done_ = true;
    --srv_.checks_open;
    if (phase_ == Phase::closed) {
      if (direct_) { // the socket was only shut while the check's thread read from it
        error_code ec;
        sock_.close(ec);
      }
      finish_exchange();
      return srv_.finish_if_idle();
    }
    if (direct_ && phase_ == Phase::body) {
      r_.bytes_in = check_->bytes;
      switch (check_->pipe.end()) {
      case Pipe::End::timeout:
        outcome_ = Outcome::timeout;
        return reply(http::status::request_timeout, "the body stalled\n");
      case Pipe::End::gone:
        outcome_ = Outcome::client_gone;
        return close();
      default:
        return answer(); // an answer to a body not read to its end closes the connection
      }
    }
    if (phase_ == Phase::body) {
      // The check ended before the body did: an answer that cannot be given ends the
      // request now; otherwise the rest of the body is read and dropped.
      if (check_->result != LD952_OK)
        return answer();
      return read_body();
    }
    if (phase_ == Phase::checking)
      return answer();
    finish_exchange();
  }

  // ---- answers
  void answer() {
    phase_ = Phase::answering;
    Check &c = *check_;
    if (c.result != LD952_OK) {
      if (c.answer.too_large()) {
        outcome_ = Outcome::too_large;
        return reply(http::status::payload_too_large,
                     "the answer is over " + std::to_string(srv_.s.max_answer) + " bytes\n");
      }
      if (c.too_many_records) {
        outcome_ = Outcome::too_large;
        return reply(http::status::payload_too_large, "the report has over " +
                                                          std::to_string(srv_.s.max_records) +
                                                          " employee records\n");
      }
      outcome_ = Outcome::failed;
      return reply(http::status::service_unavailable, "the check could not run to its end\n",
                   nullptr, 5);
    }
    outcome_ = Outcome::checked;
    r_.status = 200;
    r_.totals = c.totals;
    r_.keep_alive = r_.keep_alive && !srv_.draining && body_whole();
    head_.emplace(http::status::ok, parser_->get().version());
    head_->set(http::field::content_type, content_type(r_.format));
    head_->set(http::field::cache_control, "no-store");
    head_->set("X-Request-Id", r_.id);
    head_->set("X-KUF-Errors", std::to_string(c.totals.errors));
    head_->set("X-KUF-Warnings", std::to_string(c.totals.warnings));
    head_->set("X-KUF-Rows", std::to_string(c.totals.rows));
    head_->content_length(c.answer.size());
    head_->keep_alive(r_.keep_alive);
    serializer_.emplace(*head_);
    arm(srv_.s.body_timeout);
    http::async_write_header(sock_, *serializer_,
                             [self = shared_from_this()](error_code ec, std::size_t n) {
                               self->disarm();
                               self->r_.bytes_out += n;
                               if (ec)
                                 return self->answer_failed();
                               self->send_piece();
                             });
  }

  void send_piece() {
    if (phase_ != Phase::answering)
      return;
    if (!piece_)
      piece_.reset(new char[piece_size]);
    const std::uint64_t sent = r_.body_out;
    const std::size_t n = check_->answer.read(sent, piece_.get(), piece_size);
    if (n == 0) {
      piece_.reset();
      if (sent < check_->answer.size())
        return close(); // the spool could not be read: the answer ends short
      return after_reply();
    }
    arm(srv_.s.body_timeout);
    asio::async_write(sock_, asio::buffer(piece_.get(), n),
                      [self = shared_from_this()](error_code ec, std::size_t written) {
                        self->disarm();
                        self->r_.bytes_out += written;
                        self->r_.body_out += written;
                        if (ec)
                          return self->answer_failed();
                        self->send_piece();
                      });
  }

  void answer_failed() {
    outcome_ = timed_out_ ? Outcome::timeout : Outcome::client_gone;
    close();
  }

  // A short answer from memory; `allow` names the method a 405 allows, `retry` the seconds
  // of Retry-After. A request whose body was not read closes the connection after it.
  void reply(http::status status, std::string text, const char *allow = nullptr, int retry = 0,
             const char *type = "text/plain; charset=utf-8") {
    phase_ = Phase::answering;
    r_.status = static_cast<int>(status);
    const unsigned version = parser_ && parser_->is_header_done() ? parser_->get().version() : 11;
    r_.keep_alive =
        r_.keep_alive && !srv_.draining && body_whole() && status != http::status::request_timeout;
    small_.emplace(status, version == 10 ? 10 : 11);
    small_->set(http::field::content_type, type);
    small_->set(http::field::cache_control, "no-store");
    if (!r_.id.empty())
      small_->set("X-Request-Id", r_.id);
    if (allow != nullptr)
      small_->set(http::field::allow, allow);
    if (status == http::status::unauthorized)
      small_->set(http::field::www_authenticate, "Bearer");
    if (retry > 0)
      small_->set(http::field::retry_after, std::to_string(retry));
    small_->body() = std::move(text);
    small_->keep_alive(r_.keep_alive);
    small_->prepare_payload();
    arm(srv_.s.body_timeout);
    http::async_write(sock_, *small_, [self = shared_from_this()](error_code ec, std::size_t n) {
      self->disarm();
      self->r_.bytes_out += n;
      self->small_.reset();
      if (ec)
        return self->close();
      self->after_reply();
    });
  }

  void after_reply() {
    const bool again = r_.keep_alive && !srv_.draining;
    finish_exchange();
    if (again)
      return await_request();
    linger();
  }

  // Closing with unread bytes on the way would reset the connection and could take the answer
  // with it: the sending side is shut, and what still comes is read and dropped for a while.
  void linger() {
    phase_ = Phase::closing;
    error_code ec;
    sock_.shutdown(tcp::socket::shutdown_send, ec);
    if (ec)
      return close();
    arm(std::chrono::milliseconds(2000));
    drop_rest();
  }
  void drop_rest() {
    sock_.async_read_some(asio::buffer(discard_),
                          [self = shared_from_this()](error_code ec, std::size_t n) {
                            self->dropped_ += n;
                            if (ec || self->dropped_ > (1u << 20) || self->phase_ != Phase::closing)
                              return self->close();
                            self->drop_rest();
                          });
  }

  void close() {
    if (phase_ == Phase::closed)
      return;
    if (check_ && !check_done_)
      check_->pipe.abort(); // stops the check at once and frees its slot
    phase_ = Phase::closed;
    disarm();
    error_code ec;
    sock_.shutdown(tcp::socket::shutdown_both, ec); // wakes a check's thread reading from it
    // A check's thread that reads the body from the socket may be in a call with its number:
    // the socket is closed when that check is done, so that the number is not reused before.
    if (!(direct_ && check_ && !check_done_))
      sock_.close(ec);
    if (!r_.id.empty() && r_.status == 0 && check_)
      r_.status = 499; // in the log: the client went before its answer
    finish_exchange();
    srv_.sessions.erase(this);
    srv_.metrics.connections.fetch_sub(1);
    srv_.finish_if_idle();
  }

  // The request's log line and counts, once both the exchange with the client and its check
  // (if any) have ended.
  void finish_exchange() {
    if (r_.id.empty() || r_.logged)
      return;
    if (phase_ != Phase::closed && phase_ != Phase::answering && phase_ != Phase::closing)
      return;
    if (check_ && !check_done_)
      return; // check_done calls again
    r_.logged = true;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - r_.start).count();
    // A request with no check was served, refused (503), rejected (another status) or never
    // whole (no status).
    const char *outcome = r_.status == 0     ? "incomplete"
                          : r_.status == 503 ? "refused"
                          : r_.status < 400  ? "served"
                                             : "rejected";
    if (check_) {
      const Check &c = *check_;
      srv_.metrics.check_done(outcome_, c.bytes, c.totals.errors, c.totals.warnings, c.seconds);
      outcome = outcome_name(outcome_);
    }
    if (srv_.s.log) {
      static const char *const formats[] = {"htm", "csv", "txt", "xml", "json", "copy"};
      std::string line = "{\"time\":\"" + now_text() + "\",\"id\":\"" + r_.id +
                         "\",\"remote\":" + json_text(remote_) + ",\"method\":\"" + r_.method +
                         "\",\"route\":\"" + (r_.route != nullptr ? r_.route : "other") +
                         "\",\"status\":" + std::to_string(r_.status) +
                         ",\"bytes_in\":" + std::to_string(r_.bytes_in) +
                         ",\"bytes_out\":" + std::to_string(r_.bytes_out);
      char duration[32];
      std::snprintf(duration, sizeof duration, "%.3f", ms);
      line += std::string(",\"duration_ms\":") + duration + ",\"outcome\":\"" + outcome + "\"";
      if (check_) {
        line += std::string(",\"format\":\"") + formats[static_cast<int>(r_.format)] + "\"";
        if (outcome_ == Outcome::checked)
          line += ",\"errors\":" + std::to_string(check_->totals.errors) +
                  ",\"warnings\":" + std::to_string(check_->totals.warnings) +
                  ",\"rows\":" + std::to_string(check_->totals.rows);
      }
      srv_.log(line + "}\n");
    }
    check_.reset();
    head_.reset();
    serializer_.reset();
  }

  static constexpr std::size_t piece_size = 64 << 10;

  struct Exchange {
    std::string id;
    Clock::time_point start, began;
    const char *method = "other";
    const char *route = nullptr;
    Format format = Format::htm;
    int status = 0;
    bool keep_alive = false, send_continue = false, logged = false;
    std::uint64_t bytes_in = 0, bytes_out = 0, body_out = 0;
    ld952_totals totals{};
  };

  Server::Impl &srv_;
  tcp::socket sock_;
  asio::steady_timer timer_;
  unsigned generation_ = 0;
  std::uint64_t header_bytes_ = 0;
  bool timed_out_ = false;
  beast::flat_buffer buf_;
  std::optional<http::request_parser<http::buffer_body>> parser_;
  Phase phase_ = Phase::idle;
  Exchange r_;
  std::string remote_;
  std::shared_ptr<Check> check_;
  bool check_done_ = false, reading_ = false, into_pipe_ = false, direct_ = false;
  bool interim_pending_ = false, done_waiting_ = false;
  Outcome outcome_ = Outcome::checked;
  std::optional<http::response<http::empty_body>> interim_, head_;
  std::optional<http::response_serializer<http::empty_body>> serializer_;
  std::optional<http::response<http::string_body>> small_;
  std::unique_ptr<char[]> piece_;
  std::size_t dropped_ = 0;
  char discard_[16 << 10];
};

// ---- the server --------------------------------------------------------------------------

Server::Impl::Impl(const Settings &settings) : s(settings), pool(settings.checks, settings.queue) {
  error_code ec;
  const auto address = asio::ip::make_address(s.address, ec);
  if (ec)
    throw std::runtime_error("not an IP address: " + s.address);
  const tcp::endpoint at(address, s.port);
  acceptor.open(at.protocol(), ec);
  if (!ec)
    acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec)
    acceptor.bind(at, ec);
  if (!ec)
    acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    throw std::runtime_error("cannot listen at " + s.address + ":" + std::to_string(s.port) + ": " +
                             ec.message());
  std::random_device random;
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%08x", random());
  id_prefix = prefix;
}

std::string Server::Impl::next_id() {
  char id[40];
  std::snprintf(id, sizeof id, "%s-%llx", id_prefix.c_str(),
                static_cast<unsigned long long>(++ids));
  return id;
}

void Server::Impl::log(const std::string &line) const {
  std::size_t at = 0;
  while (at < line.size()) {
    const ssize_t n = ::write(2, line.data() + at, line.size() - at);
    if (n <= 0)
      return;
    at += static_cast<std::size_t>(n);
  }
}

void Server::Impl::accept() {
  acceptor.async_accept([this](error_code ec, tcp::socket socket) {
    if (!acceptor.is_open())
      return;
    if (ec) { // out of descriptors, say: a pause, not a busy loop
      accept_pause.expires_after(std::chrono::milliseconds(50));
      accept_pause.async_wait([this](error_code e) {
        if (!e)
          accept();
      });
      return;
    }
    if (sessions.size() >= s.max_connections) {
      metrics.refused[static_cast<std::size_t>(Refusal::connections)].fetch_add(1);
      refuse(socket);
    } else {
      std::make_shared<Session>(*this, std::move(socket))->start();
    }
    accept();
  });
}

// A connection over the limit is told so in one write, if its buffer takes it, and closed.
void Server::Impl::refuse(tcp::socket &socket) {
  static const char text[] = "HTTP/1.1 503 Service Unavailable\r\n"
                             "Content-Type: text/plain; charset=utf-8\r\n"
                             "Retry-After: 1\r\nConnection: close\r\nContent-Length: 22\r\n\r\n"
                             "too many connections\r\n";
  error_code ec;
  socket.non_blocking(true, ec);
  socket.write_some(asio::buffer(text, sizeof text - 1), ec);
  socket.shutdown(tcp::socket::shutdown_both, ec);
  socket.close(ec);
}

void Server::Impl::drain() {
  if (draining)
    return;
  draining = true;
  error_code ec;
  acceptor.close(ec);
  accept_pause.cancel();
  signals.cancel();
  log("{\"time\":\"" + now_text() +
      "\",\"event\":\"stopping\",\"connections\":" + std::to_string(sessions.size()) + "}\n");
  for (Session *open : std::vector<Session *>(sessions.begin(), sessions.end()))
    if (sessions.count(open) != 0)
      open->drain();
  grace.expires_after(s.grace);
  grace.async_wait([this](error_code e) {
    if (e)
      return;
    for (Session *open : std::vector<Session *>(sessions.begin(), sessions.end()))
      if (sessions.count(open) != 0)
        open->kill();
  });
  finish_if_idle();
}

void Server::Impl::finish_if_idle() {
  if (draining && sessions.empty() && checks_open == 0) {
    grace.cancel();
    work.reset();
    ioc.stop();
  }
}

Server::Server(const Settings &settings) : impl_(std::make_unique<Impl>(settings)) {}

Server::~Server() = default;

unsigned short Server::port() const { return impl_->acceptor.local_endpoint().port(); }

void Server::run() {
  Impl &i = *impl_;
  if (i.s.signals) {
    i.signals.add(SIGTERM);
    i.signals.add(SIGINT);
  }
  i.signals.async_wait([&i](error_code ec, int) {
    if (!ec)
      i.drain();
  });
  i.log("{\"time\":\"" + now_text() +
        "\",\"event\":\"listening\",\"address\":" + json_text(i.s.address) +
        ",\"port\":" + std::to_string(port()) + ",\"checks\":" + std::to_string(i.s.checks) +
        ",\"version\":\"" + ld952_version() + "\"}\n");
  i.accept();
  i.ioc.run();
}

void Server::stop() {
  asio::post(impl_->ioc, [i = impl_.get()] { i->drain(); });
}

} // namespace kufd
