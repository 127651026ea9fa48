// A private D-Bus session bus for one test: a dbus-daemon started by the test
// and ended with it, and a GLib main loop in a thread of its own that serves
// fake services on that bus.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "child_server.h"

namespace tolvane::test {

class PrivateBus {
 public:
  const std::string& Address() const { return daemon_.Line(); }
  bool Up() const { return !Address().empty(); }

 private:
  ChildServer daemon_{{"dbus-daemon", "--session", "--nofork", "--nopidfile",
                       "--print-address={fd}"}};
};

// A thread running a GLib main context with a connection to `address`;
// `setup` runs in that thread (register objects, own names, subscribe) before
// the constructor returns.
class BusService {
 public:
  BusService(const std::string& address, std::function<void(GDBusConnection*)> setup) {
    std::promise<void> ready;
    auto started = ready.get_future();
    thread_ = std::thread([&, setup] {
      ctx_ = g_main_context_new();
      g_main_context_push_thread_default(ctx_);
      loop_ = g_main_loop_new(ctx_, FALSE);
      GError* err = nullptr;
      conn_ = g_dbus_connection_new_for_address_sync(
          address.c_str(),
          GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                               G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, &err);
      if (conn_) {
        g_dbus_connection_set_exit_on_close(conn_, FALSE);
        setup(conn_);
      } else {
        ADD_FAILURE() << "fake service: " << (err ? err->message : "?");
        if (err) g_error_free(err);
      }
      ready.set_value();
      g_main_loop_run(loop_);
      if (conn_) {
        g_dbus_connection_close_sync(conn_, nullptr, nullptr);
        g_object_unref(conn_);
      }
      g_main_loop_unref(loop_);
      g_main_context_pop_thread_default(ctx_);
      g_main_context_unref(ctx_);
    });
    started.wait();
  }
  ~BusService() {
    g_main_context_invoke(
        ctx_, [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        loop_);
    thread_.join();
  }
  // Runs `f` in the service thread and waits for it.
  void Run(std::function<void()> f) {
    std::promise<void> done;
    struct Call {
      std::function<void()> f;
      std::promise<void>* done;
    } call{std::move(f), &done};
    g_main_context_invoke(
        ctx_, [](gpointer p) -> gboolean {
          auto* c = static_cast<Call*>(p);
          c->f();
          c->done->set_value();
          return G_SOURCE_REMOVE;
        },
        &call);
    done.get_future().wait();
  }

 private:
  std::thread thread_;
  GMainContext* ctx_ = nullptr;
  GMainLoop* loop_ = nullptr;
  GDBusConnection* conn_ = nullptr;
};

// Takes `name` on `conn` (synchronously, through the bus daemon).
inline bool OwnName(GDBusConnection* conn, const char* name) {
  GError* err = nullptr;
  GVariant* r = g_dbus_connection_call_sync(
      conn, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "RequestName", g_variant_new("(su)", name, 4u /* do not queue */), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &err);
  if (!r) {
    if (err) g_error_free(err);
    return false;
  }
  guint32 code = 0;
  g_variant_get(r, "(u)", &code);
  g_variant_unref(r);
  return code == 1;
}

}  // namespace tolvane::test
