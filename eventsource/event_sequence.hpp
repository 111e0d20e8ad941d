#pragma once

#include "eventsource/event.hpp"
#include "eventsource/parser.hpp"

#include <boost/asio/awaitable.hpp>

#include <concepts>
#include <cstddef>
#include <optional>
#include <ranges>
#include <span>
#include <type_traits>
#include <utility>

namespace eventsource {

namespace detail {

template <class T>
struct AwaitedOptional : std::false_type {};
template <class Chunk>
struct AwaitedOptional<boost::asio::awaitable<std::optional<Chunk>>> : std::true_type {
    using Type = Chunk;
};

template <class Chunk>
concept ByteChunk = std::ranges::contiguous_range<const Chunk> && std::ranges::sized_range<const Chunk> &&
                    sizeof(std::ranges::range_value_t<const Chunk>) == 1 &&
                    std::is_trivially_copyable_v<std::ranges::range_value_t<const Chunk>>;

}  // namespace detail

// An iterator over the chunks of one body: `co_await iterator.next()` gives the next chunk
// (any contiguous range of bytes: std::string, std::vector<std::byte>, a span…), or nothing
// once the body has ended. It may fail with any exception.
template <class I>
concept AsyncByteChunkIterator = requires(I& iterator) {
    requires detail::AwaitedOptional<decltype(iterator.next())>::value;
    requires detail::ByteChunk<typename detail::AwaitedOptional<decltype(iterator.next())>::Type>;
};

// A byte body that can be read from the start by each iterator made from it.
template <class B>
concept AsyncByteSequence = requires(B& base) {
    { base.makeAsyncIterator() } -> AsyncByteChunkIterator;
};

// The events of a byte body: each iterator reads a fresh iterator of `base` through a
// parser of its own.
template <AsyncByteSequence Base>
class AsyncServerSentEventsSequence {
public:
    using BaseIterator = decltype(std::declval<Base&>().makeAsyncIterator());

    class Iterator {
    public:
        Iterator(BaseIterator baseIterator, Parser::Limits limits)
            : baseIterator_(std::move(baseIterator)), parser_(limits) {}

        // The next event, or nothing once the body has ended and every event has been
        // returned. An event is returned as soon as the chunk that finishes it has been
        // read. A failure of the body passes through unchanged and the parser keeps its
        // state, so the caller may go on. A SizeLimitError takes the place of a refused
        // event; the next call continues after it. Not safe to call concurrently.
        boost::asio::awaitable<std::optional<Event>> next() {
            if (auto event = parser_.getNextEvent()) co_return event;
            while (!ended_) {
                auto chunk = co_await baseIterator_.next();
                if (!chunk) {
                    ended_ = true;
                    parser_.finish();
                    co_return parser_.getNextEvent();
                }
                parser_.consume(std::as_bytes(std::span(std::ranges::data(*chunk), std::ranges::size(*chunk))));
                if (auto event = parser_.getNextEvent()) co_return event;
            }
            co_return std::nullopt;
        }

    private:
        BaseIterator baseIterator_;
        Parser parser_;
        // The body reported its end; it is not asked again.
        bool ended_ = false;
    };

    explicit AsyncServerSentEventsSequence(Base base, Parser::Limits limits = {})
        : base_(std::move(base)), limits_(limits) {}

    // A new pass over the body, with a parser in its initial state.
    Iterator makeAsyncIterator() { return Iterator(base_.makeAsyncIterator(), limits_); }

    const Base& base() const noexcept { return base_; }

private:
    Base base_;
    Parser::Limits limits_;
};

// The events of `base`.
template <AsyncByteSequence Base>
AsyncServerSentEventsSequence<std::remove_cvref_t<Base>> events(Base&& base, Parser::Limits limits = {}) {
    return AsyncServerSentEventsSequence<std::remove_cvref_t<Base>>(std::forward<Base>(base), limits);
}

}  // namespace eventsource
