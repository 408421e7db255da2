// The usbredir side of `serve`: the lab bridge as a USB device on QEMU's usb-redir.
//
// Order that QEMU accepts: its hello first, then the interface information, the endpoint
// information and the device's connection. QEMU handles SET_ADDRESS itself; configuration
// and alternate-setting requests come as packets of their own; every other request of
// endpoint 0 comes as a control packet. An IN reply carries exactly its header's length
// of data, an OUT reply none (its length is the bytes taken). IN requests of bulk IN may
// come before the device has anything to send: they wait in a queue.
//
// A restart of the bridge (by the tool, the lab's `restart` verb, or any other process)
// takes the device off the bus; it comes back when the bridge answers again. The trace
// reads as under `run`: the device put on the bus is an OPEN line, taken off the bus or
// left by the host a CLOSE line, its command blocks CMD lines between them.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <usbredirparser.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "lab/usb/bulk_only.h"
#include "lab/usb/served_bridge.h"
#include "lab/usb/usb_device.h"
#include "lab/usb/usbredir/usbredir_link.h"

namespace {

constexpr int k_poll_ms = 100;  // how often an idle connection looks at the bridge
constexpr int k_endpoint_slots = 32;

// A socket descriptor closed with its owner.
class socket_owner {
public:
    explicit socket_owner(int fd) : fd_(fd) {}
    ~socket_owner() {
        if (fd_ >= 0) close(fd_);
    }
    socket_owner(const socket_owner&) = delete;
    socket_owner& operator=(const socket_owner&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

struct parser_owner {
    usbredirparser* parser = usbredirparser_create();
    ~parser_owner() {
        if (parser != nullptr) usbredirparser_destroy(parser);
    }
};

struct pending_in {
    uint64_t id;
    uint32_t length;
};

struct link_state {
    served_bridge bridge;
    usbredirparser* parser = nullptr;
    int fd = -1;
    bool peer_said_hello = false;
    bool connected = false;
    bool peer_gone = false;
    usb_identity identity;
    bulk_only_state bot;
    std::deque<pending_in> in_requests;
};

link_state& state_of(void* priv) { return *static_cast<link_state*>(priv); }

// The slot of an endpoint address in usbredir's endpoint tables.
int endpoint_slot(uint8_t address) { return ((address & 0x80) >> 3) | (address & 0x0F); }

void send_connect(link_state& link) {
    usb_redir_interface_info_header interfaces{};
    interfaces.interface_count = 1;
    interfaces.interface_class[0] = k_usb_class_mass_storage;
    interfaces.interface_subclass[0] = k_usb_subclass_scsi;
    interfaces.interface_protocol[0] = k_usb_protocol_bulk_only;
    usbredirparser_send_interface_info(link.parser, &interfaces);

    usb_redir_ep_info_header endpoints{};
    for (int slot = 0; slot < k_endpoint_slots; ++slot) endpoints.type[slot] = usb_redir_type_invalid;
    for (const uint8_t control : {uint8_t{0x00}, uint8_t{0x80}}) {
        endpoints.type[endpoint_slot(control)] = usb_redir_type_control;
        endpoints.max_packet_size[endpoint_slot(control)] = k_usb_ep0_max_packet;
    }
    for (const uint8_t bulk : {k_usb_ep_bulk_in, k_usb_ep_bulk_out}) {
        endpoints.type[endpoint_slot(bulk)] = usb_redir_type_bulk;
        endpoints.max_packet_size[endpoint_slot(bulk)] = k_usb_bulk_max_packet;
    }
    usbredirparser_send_ep_info(link.parser, &endpoints);

    usb_redir_device_connect_header device{};
    device.speed = usb_redir_speed_high;
    device.vendor_id = link.identity.vendor_id;
    device.product_id = link.identity.product_id;
    device.device_version_bcd = link.identity.device_bcd;
    usbredirparser_send_device_connect(link.parser, &device);
    link.connected = true;
}

// A fresh bus state: a device just connected, reset, or gone.
void forget_transfers(link_state& link) {
    link.bot = bulk_only_state{};
    link.in_requests.clear();
}

// Takes the device off the bus when the bridge restarted or stopped answering, and puts
// it back when it answers again (under the identity it has then).
void follow_bridge(link_state& link) {
    if (!link.peer_said_hello) return;
    bridge_presence presence;
    if (!served_bridge_look(link.bridge, &presence)) return;
    if (link.connected && (presence.boot != link.bridge.boot || !presence.answers)) {
        usbredirparser_send_device_disconnect(link.parser);
        link.connected = false;
        forget_transfers(link);
        served_bridge_trace_close(link.bridge);
    }
    if (!link.connected && presence.answers) {
        link.bridge.boot = presence.boot;
        link.bridge.name = presence.name;
        link.identity = presence.identity;
        forget_transfers(link);
        send_connect(link);
        served_bridge_trace_open(link.bridge);
    }
}

void send_bulk_reply(link_state& link, uint64_t id, uint8_t endpoint, uint8_t status, const std::vector<uint8_t>* data,
                     uint32_t length) {
    usb_redir_bulk_packet_header header{};
    header.endpoint = endpoint;
    header.status = status;
    header.length = static_cast<uint16_t>(length & 0xFFFF);
    header.length_high = static_cast<uint16_t>(length >> 16);
    uint8_t* bytes = data != nullptr && !data->empty() ? const_cast<uint8_t*>(data->data()) : nullptr;
    usbredirparser_send_bulk_packet(link.parser, id, &header, bytes,
                                    data != nullptr ? static_cast<int>(data->size()) : 0);
}

// Answers the waiting IN requests while the device has something for them.
void answer_in_requests(link_state& link) {
    while (!link.in_requests.empty()) {
        const pending_in request = link.in_requests.front();
        std::vector<uint8_t> data;
        const bot_in_reply reply = bot_next_in(link.bot, request.length, &data);
        if (reply == bot_in_reply::wait) return;
        link.in_requests.pop_front();
        if (reply == bot_in_reply::stall) {
            send_bulk_reply(link, request.id, k_usb_ep_bulk_in, usb_redir_stall, nullptr, 0);
        } else {
            send_bulk_reply(link, request.id, k_usb_ep_bulk_in, usb_redir_success, &data,
                            static_cast<uint32_t>(data.size()));
        }
    }
}

// Parser callbacks.

int on_read(void* priv, uint8_t* data, int count) {
    link_state& link = state_of(priv);
    const ssize_t got = recv(link.fd, data, static_cast<size_t>(count), 0);
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    link.peer_gone = true;  // end of file too: the peer went away
    return -1;
}

int on_write(void* priv, uint8_t* data, int count) {
    link_state& link = state_of(priv);
    const ssize_t sent = send(link.fd, data, static_cast<size_t>(count), MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    link.peer_gone = true;
    return -1;
}

void on_log(void*, int level, const char* message) {
    if (level <= usbredirparser_error) std::fprintf(stderr, "mvbridge-lab: usbredir: %s\n", message);
}

void on_hello(void* priv, usb_redir_hello_header*) {
    link_state& link = state_of(priv);
    link.peer_said_hello = true;
    follow_bridge(link);
}

void on_reset(void* priv) { forget_transfers(state_of(priv)); }

void on_set_configuration(void* priv, uint64_t id, usb_redir_set_configuration_header* request) {
    link_state& link = state_of(priv);
    usb_redir_configuration_status_header status{};
    status.status = request->configuration <= k_usb_configuration ? usb_redir_success : usb_redir_stall;
    status.configuration = request->configuration;
    usbredirparser_send_configuration_status(link.parser, id, &status);
}

void on_get_configuration(void* priv, uint64_t id) {
    link_state& link = state_of(priv);
    usb_redir_configuration_status_header status{};
    status.status = usb_redir_success;
    status.configuration = k_usb_configuration;
    usbredirparser_send_configuration_status(link.parser, id, &status);
}

void on_set_alt_setting(void* priv, uint64_t id, usb_redir_set_alt_setting_header* request) {
    link_state& link = state_of(priv);
    usb_redir_alt_setting_status_header status{};
    status.status = request->interface == 0 && request->alt == 0 ? usb_redir_success : usb_redir_inval;
    status.interface = request->interface;
    status.alt = request->alt;
    usbredirparser_send_alt_setting_status(link.parser, id, &status);
}

void on_get_alt_setting(void* priv, uint64_t id, usb_redir_get_alt_setting_header* request) {
    link_state& link = state_of(priv);
    usb_redir_alt_setting_status_header status{};
    status.status = request->interface == 0 ? usb_redir_success : usb_redir_inval;
    status.interface = request->interface;
    usbredirparser_send_alt_setting_status(link.parser, id, &status);
}

void on_control(void* priv, uint64_t id, usb_redir_control_packet_header* header, uint8_t* data, int data_len) {
    link_state& link = state_of(priv);
    if (data != nullptr) usbredirparser_free_packet_data(link.parser, data);
    usb_redir_control_packet_header reply = *header;
    const bool in = (header->endpoint & 0x80) != 0;
    if (!link.connected) {
        reply.status = usb_redir_ioerror;
        reply.length = 0;
        usbredirparser_send_control_packet(link.parser, id, &reply, nullptr, 0);
        return;
    }
    const usb_setup setup{header->requesttype, header->request, header->value, header->index, header->length};
    const usb_control_answer answer =
        usb_answer_control(link.identity, setup, {link.bot.in_halted, link.bot.out_halted});
    if (answer.action == usb_control_action::bulk_only_reset) forget_transfers(link);
    if (answer.action == usb_control_action::clear_halt) bot_clear_halt(link.bot, answer.endpoint);
    reply.status = answer.stall ? usb_redir_stall : usb_redir_success;
    if (in) {
        reply.length = answer.stall ? 0 : static_cast<uint16_t>(answer.data.size());
        uint8_t* bytes = reply.length != 0 ? const_cast<uint8_t*>(answer.data.data()) : nullptr;
        usbredirparser_send_control_packet(link.parser, id, &reply, bytes, reply.length);
    } else {
        reply.length = answer.stall ? 0 : static_cast<uint16_t>(data_len);
        usbredirparser_send_control_packet(link.parser, id, &reply, nullptr, 0);
    }
    // A cleared halt may let a waiting IN request have the status wrapper.
    answer_in_requests(link);
}

void on_bulk(void* priv, uint64_t id, usb_redir_bulk_packet_header* header, uint8_t* data, int data_len) {
    link_state& link = state_of(priv);
    const uint32_t length = header->length | (static_cast<uint32_t>(header->length_high) << 16);
    if (!link.connected) {
        if (data != nullptr) usbredirparser_free_packet_data(link.parser, data);
        send_bulk_reply(link, id, header->endpoint, usb_redir_ioerror, nullptr, 0);
        return;
    }
    if (header->endpoint == k_usb_ep_bulk_in) {
        if (data != nullptr) usbredirparser_free_packet_data(link.parser, data);
        link.in_requests.push_back({id, length});
        answer_in_requests(link);
        return;
    }
    if (header->endpoint != k_usb_ep_bulk_out) {
        if (data != nullptr) usbredirparser_free_packet_data(link.parser, data);
        send_bulk_reply(link, id, header->endpoint, usb_redir_inval, nullptr, 0);
        return;
    }
    const auto execute = [&link](const block_request& request, block_answer& answer) {
        served_bridge_request(link.bridge, request, answer);
    };
    const bool taken = bot_take_out(link.bot, data, static_cast<size_t>(data_len), execute);
    if (data != nullptr) usbredirparser_free_packet_data(link.parser, data);
    send_bulk_reply(link, id, k_usb_ep_bulk_out, taken ? usb_redir_success : usb_redir_stall, nullptr,
                    taken ? static_cast<uint32_t>(data_len) : 0);
    answer_in_requests(link);
    // A command may have restarted the bridge.
    follow_bridge(link);
}

void on_cancel(void* priv, uint64_t id) {
    link_state& link = state_of(priv);
    for (auto it = link.in_requests.begin(); it != link.in_requests.end(); ++it) {
        if (it->id != id) continue;
        link.in_requests.erase(it);
        send_bulk_reply(link, id, k_usb_ep_bulk_in, usb_redir_cancelled, nullptr, 0);
        return;
    }
}

// Listens on `path`: the socket is bound under a temporary name and renamed when it
// listens, so that a peer that sees the path can connect at once.
int listen_on(const std::string& path, std::string* error) {
    sockaddr_un address{};
    const std::string temporary = path + ".listening";
    if (temporary.size() >= sizeof address.sun_path) {
        *error = "socket path too long: " + path;
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
    unlink(temporary.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0 ||
        rename(temporary.c_str(), path.c_str()) != 0) {
        *error = path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        close(fd);
        return -1;
    }
    return fd;
}

void set_callbacks(usbredirparser* parser, link_state* link) {
    parser->priv = link;
    parser->log_func = on_log;
    parser->read_func = on_read;
    parser->write_func = on_write;
    parser->hello_func = on_hello;
    parser->reset_func = on_reset;
    parser->set_configuration_func = on_set_configuration;
    parser->get_configuration_func = on_get_configuration;
    parser->set_alt_setting_func = on_set_alt_setting;
    parser->get_alt_setting_func = on_get_alt_setting;
    parser->control_packet_func = on_control;
    parser->bulk_packet_func = on_bulk;
    parser->cancel_data_packet_func = on_cancel;
}

// Serves the connection until the peer goes away.
void run_link(link_state& link) {
    while (!link.peer_gone) {
        pollfd watch{link.fd, POLLIN, 0};
        if (usbredirparser_has_data_to_write(link.parser) > 0) watch.events |= POLLOUT;
        const int ready = poll(&watch, 1, k_poll_ms);
        if (ready < 0 && errno != EINTR) return;
        if (ready > 0 && (watch.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (usbredirparser_do_read(link.parser) == usbredirparser_read_io_error) return;
        }
        if (ready == 0) follow_bridge(link);
        if (usbredirparser_has_data_to_write(link.parser) > 0 && usbredirparser_do_write(link.parser) < 0) return;
    }
}

}  // namespace

int serve_over_usbredir(const std::string& dir, const std::string& name, const std::string& socket_path) {
    link_state link;
    std::string error;
    if (!served_bridge_open(dir, name, &link.bridge, &error)) {
        std::fprintf(stderr, "mvbridge-lab: %s\n", error.c_str());
        return 1;
    }
    socket_owner listener(listen_on(socket_path, &error));
    if (listener.get() < 0) {
        std::fprintf(stderr, "mvbridge-lab: %s\n", error.c_str());
        return 1;
    }
    socket_owner peer(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    unlink(socket_path.c_str());
    if (peer.get() < 0) {
        std::fprintf(stderr, "mvbridge-lab: accept: %s\n", std::strerror(errno));
        return 1;
    }
    link.fd = peer.get();

    parser_owner owner;
    if (owner.parser == nullptr) return 1;
    link.parser = owner.parser;
    set_callbacks(owner.parser, &link);
    uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    for (const int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                          usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length}) {
        usbredirparser_caps_set_cap(caps, cap);
    }
    usbredirparser_init(owner.parser, "mvbridge-lab", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);
    run_link(link);
    // The host went away with the device on its bus: its session ends as a close does.
    if (link.connected) served_bridge_trace_close(link.bridge);
    return 0;
}
