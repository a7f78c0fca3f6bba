// The socket layer's contract with the engine: events and their order, the send queue, close.
#include "WSocket.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>

namespace {

// Pumps events until pred holds or ms pass.
template <typename Pred>
bool pumpUntil(Pred pred, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  QTimer wake;
  wake.start(10);
  while (!pred() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return pred();
}

QString raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const ESocketException& e) {
    return e.Message();
  }
  return QStringLiteral("(nothing raised)");
}

// A listening socket and a client connected to it, the server side adopted by a third socket.
struct Pair {
  TWSocket listener, client, server;
  bool ok = false;
  Pair() {
    listener.SetAddr(QStringLiteral("127.0.0.1"));
    listener.SetPort(QStringLiteral("0"));
    listener.OnSessionAvailable = [this](TCustomWSocket*, quint16) {
      const int h = listener.Accept();
      listener.Close();
      server.Dup(h);
    };
    listener.Listen();
    client.SetAddr(QStringLiteral("127.0.0.1"));
    client.SetPort(listener.GetLocalPort());
    bool connected = false;
    client.OnSessionConnected = [&](TCustomWSocket*, quint16 e) { connected = e == 0; };
    client.Connect();
    ok = pumpUntil([&] { return connected && server.State() == wsConnected; });
    client.OnSessionConnected = nullptr;
  }
};

TEST(WSocket, ADottedLookupAnswersBeforeItReturnsANameLater) {
  TWSocket s;
  int events = 0;
  s.OnDnsLookupDone = [&](TCustomWSocket*, quint16 e) {
    ++events;
    EXPECT_EQ(e, 0);
  };
  s.DnsLookup(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(events, 1);
  EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));

  s.DnsLookup(QStringLiteral("localhost"));
  EXPECT_EQ(events, 1);
  ASSERT_TRUE(pumpUntil([&] { return events == 2; }));
  EXPECT_EQ(s.DnsResult(), QStringLiteral("127.0.0.1"));

  EXPECT_EQ(raised([&] { s.DnsLookup(QString()); }), QStringLiteral("DNS lookup: invalid host name."));
}

TEST(WSocket, ConnectAndListenSayWhatIsMissing) {
  TWSocket s;
  EXPECT_EQ(raised([&] { s.Connect(); }), QStringLiteral("Connect: No Port Specified"));
  s.SetPort(QStringLiteral("21"));
  EXPECT_EQ(raised([&] { s.Connect(); }), QStringLiteral("Connect: No IP Address Specified"));
  s.SetAddr(QStringLiteral("999.1.1.1"));
  EXPECT_EQ(raised([&] { s.Connect(); }),
            QStringLiteral("connect: WSocketResolveHost: '999.1.1.1' Invalid IP address."));
  s.SetAddr(QStringLiteral("127.0.0.1"));
  s.SetPort(QString(40, u'9'));
  EXPECT_EQ(raised([&] { s.Connect(); }), QStringLiteral("connect: WSocketResolvePort: Invalid Port."));
  s.SetPort(QStringLiteral("pas-un-service"));
  EXPECT_EQ(raised([&] { s.Connect(); }),
            QStringLiteral("connect: WSocketResolvePort: Cannot convert port 'pas-un-service', Error #11004"));
  EXPECT_EQ(s.State(), wsClosed);

  TWSocket l;
  EXPECT_EQ(raised([&] { l.Listen(); }), QStringLiteral("listen: port not assigned"));
  l.SetPort(QStringLiteral("0"));
  EXPECT_EQ(raised([&] { l.Listen(); }), QStringLiteral("listen: address not assigned"));
  EXPECT_EQ(raised([&] { l.Accept(); }), QStringLiteral("not a listening socket"));
  EXPECT_EQ(raised([&] { l.SetLingerOption(); }), QStringLiteral("Cannot set linger option at this time"));
}

TEST(WSocket, ErrorTextsFollowTheTable) {
  EXPECT_EQ(TCustomWSocket::WSocketErrorDesc(0), QStringLiteral("No Error"));
  EXPECT_EQ(TCustomWSocket::WSocketErrorDesc(ECONNREFUSED), QStringLiteral("Connection refused"));
  EXPECT_EQ(TCustomWSocket::WSocketErrorDesc(EWOULDBLOCK), QStringLiteral("Operation would block"));
  EXPECT_EQ(TCustomWSocket::WSocketErrorDesc(11001), QStringLiteral("Host not found"));
  EXPECT_EQ(TCustomWSocket::WSocketErrorDesc(123456), QStringLiteral("Not a WinSock error"));
}

TEST(WSocket, ABigSendArrivesWholeAndInOrderWithOneDataSentAfterSendReturns) {
  Pair p;
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.listener.State(), wsClosed);
  QByteArray bytes(3 << 20, Qt::Uninitialized);
  for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + i / 4096);
  QByteArray got;
  p.server.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
    char buf[65536];
    const int n = s->Receive(buf, sizeof buf);
    if (n > 0) got.append(buf, n);
  };
  int sentEvents = 0;
  bool insideSend = false;
  p.client.OnDataSent = [&](TCustomWSocket*, quint16) {
    EXPECT_FALSE(insideSend);
    ++sentEvents;
  };
  insideSend = true;
  EXPECT_EQ(p.client.Send(bytes.constData(), int(bytes.size())), bytes.size());
  insideSend = false;
  ASSERT_TRUE(pumpUntil([&] { return got.size() == bytes.size() && sentEvents > 0; }, 20000));
  pumpUntil([] { return false; }, 50);
  EXPECT_EQ(sentEvents, 1);
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(p.server.ReadCount(), bytes.size());

  // A small send that leaves at once still gives its one event later.
  insideSend = true;
  p.client.SendStr("x");
  insideSend = false;
  EXPECT_EQ(sentEvents, 1);
  ASSERT_TRUE(pumpUntil([&] { return sentEvents == 2; }));
}

TEST(WSocket, BlocksSentFromOnDataSentEachGetOneEvent) {
  Pair p;
  ASSERT_TRUE(p.ok);
  QByteArray got;
  p.server.OnDataAvailable = [&](TCustomWSocket* s, quint16) {
    char buf[65536];
    const int n = s->Receive(buf, sizeof buf);
    if (n > 0) got.append(buf, n);
  };
  constexpr int kBlocks = 2000;
  int sent = 1, events = 0;
  bool insideSend = false;
  auto sendBlock = [&](int i) {
    const QByteArray block(1460, char('a' + i % 26));
    insideSend = true;
    p.client.Send(block.constData(), int(block.size()));
    insideSend = false;
  };
  p.client.OnDataSent = [&](TCustomWSocket*, quint16) {
    EXPECT_FALSE(insideSend);
    ++events;
    if (sent < kBlocks) sendBlock(sent++);
  };
  sendBlock(0);
  ASSERT_TRUE(pumpUntil([&] { return events == kBlocks && got.size() == kBlocks * 1460; }, 20000))
      << events << " events, " << got.size() << " bytes";
  pumpUntil([] { return false; }, 50);
  EXPECT_EQ(events, kBlocks);
  for (int i = 0; i < kBlocks; ++i) ASSERT_EQ(got.at(i * 1460), char('a' + i % 26)) << i;
}

TEST(WSocket, CloseIsToldOnceAndForgetsTheAddress) {
  Pair p;
  ASSERT_TRUE(p.ok);
  int clientClosed = 0, serverClosed = 0;
  p.client.OnSessionClosed = [&](TCustomWSocket*, quint16) { ++clientClosed; };
  p.server.OnSessionClosed = [&](TCustomWSocket*, quint16 e) {
    ++serverClosed;
    EXPECT_EQ(e, 0);
  };
  p.client.Close();
  p.client.Close();
  EXPECT_EQ(clientClosed, 1);
  EXPECT_EQ(p.client.State(), wsClosed);
  ASSERT_TRUE(pumpUntil([&] { return serverClosed == 1; }));
  EXPECT_EQ(p.server.State(), wsClosed);
  EXPECT_EQ(raised([&] { p.client.Connect(); }), QStringLiteral("Connect: No Port Specified"));
  EXPECT_EQ(p.client.LocalAddr(), QStringLiteral("0.0.0.0"));
  EXPECT_EQ(p.client.LingerOnOff(), wsLingerOn);

  // Sending on a closed socket goes through the error report.
  EXPECT_EQ(raised([&] { p.client.SendStr("x"); }),
            QStringLiteral("Error %1 in function Send\r\nSocket is not connected").arg(ENOTCONN));
  EXPECT_EQ(p.client.LastError(), ENOTCONN);
}

TEST(WSocket, ARefusedConnectionIsReportedFromTheLoop) {
  quint16 freePort;
  {
    TWSocket l;
    l.SetAddr(QStringLiteral("127.0.0.1"));
    l.SetPort(QStringLiteral("0"));
    l.Listen();
    freePort = quint16(l.GetLocalPort().toUInt());
  }
  TWSocket s;
  s.SetAddr(QStringLiteral("127.0.0.1"));
  s.SetPort(QString::number(freePort));
  int error = -1;
  s.OnSessionConnected = [&](TCustomWSocket*, quint16 e) { error = e; };
  s.Connect();
  EXPECT_EQ(error, -1);
  ASSERT_TRUE(pumpUntil([&] { return error != -1; }));
  EXPECT_EQ(error, ECONNREFUSED);
  EXPECT_EQ(s.State(), wsClosed);
}

TEST(WSocket, AnExceptionInAHandlerAbortsTheSocketUnlessKept) {
  for (bool keep : {false, true}) {
    Pair p;
    ASSERT_TRUE(p.ok);
    QString seen;
    p.server.OnDataAvailable = [](TCustomWSocket* s, quint16) {
      char buf[16];
      s->Receive(buf, sizeof buf);
      throw ESocketException(QStringLiteral("boum"));
    };
    p.server.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& canClose) {
      seen = QString::fromUtf8(e.what());
      if (keep) canClose = false;
    };
    p.client.SendStr("x");
    ASSERT_TRUE(pumpUntil([&] { return !seen.isEmpty(); }));
    EXPECT_EQ(seen, QStringLiteral("boum"));
    EXPECT_EQ(p.server.State(), keep ? wsConnected : wsClosed);
  }
}

}  // namespace
