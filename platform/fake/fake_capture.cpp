#include "platform/fake/fake_capture.hpp"

#include <cstring>

namespace platform {

FrameImage solidImage(int width, int height, std::uint32_t argb) {
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 8),
                                   static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 24)};
    auto pixels = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t at = 0; at < pixels->size(); at += 4) std::memcpy(pixels->data() + at, pixel, 4);
    return FrameImage{width, height, width * 4, std::move(pixels)};
}

std::error_code CaptureFailures::next() {
    const int index = operations++;
    return failAt && *failAt == index ? error : std::error_code{};
}

FakeCaptureStream::FakeCaptureStream(WindowID window, StreamConfiguration configuration,
                                     std::weak_ptr<CaptureDelegate> delegate, FrameSink sink,
                                     bool startsAtOnce, std::shared_ptr<CaptureFailures> failures)
    : window_(window),
      configuration_(configuration),
      delegate_(std::move(delegate)),
      sink_(std::move(sink)),
      startsAtOnce_(startsAtOnce),
      failures_(failures ? std::move(failures) : std::make_shared<CaptureFailures>()) {}

void FakeCaptureStream::start(Completion done) {
    if (const auto failed = failures_->next()) {
        done(failed);
        return;
    }
    if (startsAtOnce_) {
        started_ = true;
        done({});
        return;
    }
    pendingStart_ = std::move(done);
}

void FakeCaptureStream::stop(Completion done) {
    ++stops_;
    done(failures_->next());
}

void FakeCaptureStream::updateConfiguration(const StreamConfiguration& configuration, Completion done) {
    const auto counted = failures_->next();
    const auto error = counted ? counted : updateError;
    if (!error) {
        configuration_ = configuration;
        updates_.push_back(configuration);
    }
    done(error);
}

void FakeCaptureStream::completeStart(std::error_code error) {
    auto done = std::move(pendingStart_);
    pendingStart_ = nullptr;
    if (!done) return;
    started_ = !error;
    done(error);
}

void FakeCaptureStream::emit(const FrameSample& sample) const { sink_(sample); }

void FakeCaptureStream::emit(FrameStatus status, std::optional<FrameImage> image) const {
    emit(FrameSample{status, std::move(image)});
}

void FakeCaptureStream::endByItself(std::error_code error) const {
    if (const auto delegate = delegate_.lock()) delegate->streamStopped(error);
}

std::shared_ptr<CaptureStream> FakeCapture::makeStream(WindowID window,
                                                       const StreamConfiguration& configuration,
                                                       std::weak_ptr<CaptureDelegate> delegate,
                                                       FrameSink sink) {
    if (makeError) throw std::system_error(makeError);
    if (const auto failed = failures->next()) throw std::system_error(failed);
    auto stream = std::make_shared<FakeCaptureStream>(window, configuration, std::move(delegate),
                                                      std::move(sink), startsAtOnce, failures);
    streams_.push_back(stream);
    return stream;
}

}  // namespace platform
