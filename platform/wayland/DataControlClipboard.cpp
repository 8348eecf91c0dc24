#include "DataControlClipboard.h"

#include "core/FdWait.h"
#include "core/UniqueFd.h"
#include "platform/PasteRequests.h"
#include "platform/PlatformError.h"

// The generated listener setters cast their const listener to what libwayland takes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-qual"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#pragma GCC diagnostic pop
#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <utility>

namespace velmora {

namespace {

/// How long an application may take to read what Velmora writes, and Velmora to read the user's content.
constexpr std::chrono::milliseconds kTransferTime{2000};
/// More than this is not kept: the user's content is then taken as unreadable.
constexpr std::size_t kMaxKept = 64 * 1024 * 1024;

template <auto Destroy>
struct TDestroy {
    template <class T>
    void operator()(T* object) const {
        Destroy(object);
    }
};
template <class T, auto Destroy>
using TOwned = std::unique_ptr<T, TDestroy<Destroy>>;

using TOffer = TOwned<zwlr_data_control_offer_v1, &zwlr_data_control_offer_v1_destroy>;
using TSource = TOwned<zwlr_data_control_source_v1, &zwlr_data_control_source_v1_destroy>;

} // namespace

/// The protocol objects and what they told; the connection's thread only, but for the counters under `mutex`.
struct TDataControlClipboard::TWire {
    TOwned<wl_display, &wl_display_disconnect> display;
    TOwned<wl_registry, &wl_registry_destroy> registry;
    TOwned<wl_seat, &wl_seat_destroy> seat;
    TOwned<zwlr_data_control_manager_v1, &zwlr_data_control_manager_v1_destroy> manager;
    TOwned<zwlr_data_control_device_v1, &zwlr_data_control_device_v1_destroy> device;
    std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> announced; ///< offers and their types so far
    TOffer selection;                                                          ///< the clipboard's content; none: empty
    std::vector<std::string> types;                                            ///< its types
    TSource source;            ///< Velmora's content, while it is on the clipboard
    TClipboardContent offered; ///< what the source offers
    bool finished = false;     ///< the compositor ended the device

    std::mutex mutex;
    TPasteRequests requests; ///< the applications' requests for the source's content
    bool owned = false;      ///< whether Velmora's source is the clipboard's

    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t /*version*/) {
        auto* wire = static_cast<TWire*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !wire->seat) {
            wire->seat.reset(static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
        } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !wire->manager) {
            wire->manager.reset(static_cast<zwlr_data_control_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1)));
        }
    }
    static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

    static void OfferType(void* data, zwlr_data_control_offer_v1* offer, const char* type) {
        static_cast<TWire*>(data)->announced[offer].emplace_back(type);
    }
    static void DataOffer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        auto* wire = static_cast<TWire*>(data);
        static const zwlr_data_control_offer_v1_listener listener{&TWire::OfferType};
        wire->announced[offer];
        zwlr_data_control_offer_v1_add_listener(offer, &listener, wire);
    }
    static void Selection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        auto* wire = static_cast<TWire*>(data);
        wire->selection.reset(offer);
        wire->types = offer != nullptr ? std::move(wire->announced[offer]) : std::vector<std::string>{};
        wire->announced.erase(offer);
    }
    static void Finished(void* data, zwlr_data_control_device_v1*) { static_cast<TWire*>(data)->finished = true; }
    static void PrimarySelection(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        if (offer != nullptr) {
            static_cast<TWire*>(data)->announced.erase(offer);
            zwlr_data_control_offer_v1_destroy(offer);
        }
    }

    static void Send(void* data, zwlr_data_control_source_v1*, const char* type, std::int32_t given) {
        auto* wire = static_cast<TWire*>(data);
        TFd fd(given);
        const std::uint64_t number = wire->requests.Arrived();
        const auto found = wire->offered.find(type);
        if (found == wire->offered.end()) {
            return;
        }
        ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) | O_NONBLOCK);
        if (WriteAllUntil(fd.Get(), found->second, std::chrono::steady_clock::now() + kTransferTime) &&
            fd.Close() == 0) {
            wire->requests.Answered(number);
        }
    }
    static void Cancelled(void* data, zwlr_data_control_source_v1* source) {
        auto* wire = static_cast<TWire*>(data);
        if (wire->source.get() == source) {
            wire->source.reset();
            wire->offered.clear();
            std::scoped_lock lock(wire->mutex);
            wire->owned = false;
        }
    }

    /// Asks the clipboard's owner for its content in `type`; the end to read it from, none when no pipe could be
    /// made. The request is sent with the next flush.
    std::unique_ptr<TFd> Receive(const std::string& type) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            return nullptr;
        }
        const TFd write(ends[1]);
        zwlr_data_control_offer_v1_receive(selection.get(), type.c_str(), write.Get());
        return std::make_unique<TFd>(ends[0]);
    }

    /// Makes `content` the clipboard's (empty: empties it).
    void Set(const TClipboardContent& content) {
        TSource next;
        if (!content.empty()) {
            static const zwlr_data_control_source_v1_listener listener{&TWire::Send, &TWire::Cancelled};
            next.reset(zwlr_data_control_manager_v1_create_data_source(manager.get()));
            zwlr_data_control_source_v1_add_listener(next.get(), &listener, this);
            for (const auto& [type, bytes] : content) {
                zwlr_data_control_source_v1_offer(next.get(), type.c_str());
            }
        }
        zwlr_data_control_device_v1_set_selection(device.get(), next.get());
        source = std::move(next);
        offered = content;
        std::scoped_lock lock(mutex);
        owned = !content.empty();
    }
};

TDataControlClipboard::TDataControlClipboard() : FWire(std::make_unique<TWire>()) {
    TWire& wire = *FWire;
    wire.display.reset(wl_display_connect(nullptr));
    if (!wire.display) {
        throw PlatformError(
            "Cannot connect to the Wayland compositor (WAYLAND_DISPLAY): " + std::string(std::strerror(errno)) + ".");
    }
    wire.registry.reset(wl_display_get_registry(wire.display.get()));
    static const wl_registry_listener registryListener{&TWire::Global, &TWire::GlobalRemove};
    wl_registry_add_listener(wire.registry.get(), &registryListener, &wire);
    if (wl_display_roundtrip(wire.display.get()) < 0) {
        throw PlatformError("The Wayland compositor closed the connection while Velmora asked what it offers.");
    }
    if (!wire.manager || !wire.seat) {
        throw PlatformError("The Wayland compositor offers no clipboard control (zwlr_data_control_manager_v1).");
    }
    wire.device.reset(zwlr_data_control_manager_v1_get_data_device(wire.manager.get(), wire.seat.get()));
    static const zwlr_data_control_device_v1_listener deviceListener{&TWire::DataOffer, &TWire::Selection,
                                                                     &TWire::Finished, &TWire::PrimarySelection};
    zwlr_data_control_device_v1_add_listener(wire.device.get(), &deviceListener, &wire);
    // The first selection event comes upon the device: after this the clipboard's content is known.
    if (wl_display_roundtrip(wire.display.get()) < 0) {
        throw PlatformError("The Wayland compositor refused Velmora's clipboard control.");
    }
    FThread = std::thread([this] { Loop(); });
}

TDataControlClipboard::~TDataControlClipboard() {
    FWork.Stop();
    FThread.join();
    FWire->source.reset();
    FWire->selection.reset();
    for (const auto& [offer, types] : FWire->announced) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
    FWire->device.reset();
    wl_display_flush(FWire->display.get());
}

void TDataControlClipboard::Loop() {
    // An application that stops reading must not end the program: writes to it fail with EPIPE instead.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    wl_display* display = FWire->display.get();
    for (;;) {
        while (wl_display_prepare_read(display) != 0) {
            wl_display_dispatch_pending(display);
        }
        wl_display_flush(display);
        pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {FWork.Fd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) > 0 && (fds[0].revents & POLLIN) != 0) {
            wl_display_read_events(display);
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0 || (fds[0].revents & (POLLERR | POLLHUP)) != 0) {
            FWire->finished = true;
        }
        std::vector<std::function<void()>> work;
        if (!FWork.Take(work)) {
            return;
        }
        for (const std::function<void()>& item : work) {
            item();
        }
        wl_display_flush(display);
    }
}

bool TDataControlClipboard::KeepUserContent() {
    {
        std::scoped_lock lock(FWire->mutex);
        // Content kept while Velmora still owns the clipboard is current: no one copied since.
        if (FKept && FWire->owned) {
            return true;
        }
    }
    std::vector<std::pair<std::string, std::unique_ptr<TFd>>> reads;
    bool broken = false;
    FWork.Run([&] {
        broken = FWire->finished;
        for (const std::string& type : FWire->types) {
            std::unique_ptr<TFd> read = FWire->Receive(type);
            if (!read) {
                broken = true;
                return;
            }
            reads.emplace_back(type, std::move(read));
        }
        wl_display_flush(FWire->display.get()); // the request holds its own copy of the descriptor
    });
    if (broken) {
        return false;
    }
    TClipboardContent kept;
    for (auto& [type, fd] : reads) {
        std::optional<std::string> data =
            ReadAllUntil(fd->Get(), std::chrono::steady_clock::now() + kTransferTime, kMaxKept);
        if (!data) {
            return false;
        }
        kept[type] = std::move(*data);
    }
    FKept = std::move(kept);
    return true;
}

bool TDataControlClipboard::Offer(const TClipboardContent& content) {
    bool set = false;
    FWork.Run([&] {
        if (!FWire->finished) {
            FWire->Set(content);
            set = true;
        }
    });
    return set;
}

std::uint64_t TDataControlClipboard::Requests() {
    return FWire->requests.Count();
}

bool TDataControlClipboard::WaitForPaste(std::uint64_t mark, std::chrono::milliseconds timeout,
                                         const std::function<bool()>& keepWaiting) {
    return FWire->requests.WaitAnswered(mark, timeout, keepWaiting);
}

void TDataControlClipboard::PutBack() {
    if (!FKept) {
        return;
    }
    const TClipboardContent restored = RestoredContent(*FKept);
    if (restored.empty()) {
        FKept.reset(); // a secret is not kept beyond the text
    }
    Offer(restored);
}

std::optional<std::string> TDataControlClipboard::Text() {
    // The text types in the order applications prefer them.
    static const char* const kTextTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"};
    std::unique_ptr<TFd> read;
    bool known = false;
    FWork.Run([&] {
        // A round trip first: a copy made just before this is then known.
        if (FWire->finished || wl_display_roundtrip(FWire->display.get()) < 0) {
            return;
        }
        known = true;
        const auto type =
            std::find_first_of(std::begin(kTextTypes), std::end(kTextTypes), FWire->types.begin(), FWire->types.end());
        if (FWire->selection && type != std::end(kTextTypes)) {
            read = FWire->Receive(*type);
            known = read != nullptr;
            wl_display_flush(FWire->display.get()); // the request holds its own copy of the descriptor
        }
    });
    if (!read) {
        return known ? std::optional<std::string>(std::string()) : std::nullopt;
    }
    return ReadAllUntil(read->Get(), std::chrono::steady_clock::now() + kTransferTime, kMaxKept);
}

} // namespace velmora
