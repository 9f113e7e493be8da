// The local application server: a real HTTP server (cpp-httplib) that answers every path the
// application uses, with its data in SQLite under the data folder (created and seeded on first
// start, kept across restarts), and faults that tests switch on per path.
//
//   DV_TRY_ASSIGN(auto server, dv::devserver::Server::start({ .dataFolder = dir })); // free 127.0.0.1 port
//   server->baseURL();                                      // "http://127.0.0.1:PORT/DV/"
//   server->setFault("home/index.do", Fault::delay(12));    // or POST PORT/_control/fault
//   server->stop();                                         // also done by the destructor
//   server->setHomeCategories({{ 101, "信聊加粉", "4" }});    // home/index.do lists these from now on
//   DV_TRY(server->setTileSet("directory"));                // or a named set of them
//   server->loginCount(clientId);                           // logins of one client so far
//
// The server runs on its own threads; every member may be called from any thread. Its own front
// reads each request whole before a handler sees it (internal/HttpFront.h): a body of at most
// maxRequestBytes however it is framed (413 as soon as it is passed, before any of a declared
// body is read; compressed bodies 415), a whole request within requestDeadlineSeconds of its
// first byte (408), an idle connection closed after keepAliveSeconds (blank lines sent meanwhile
// do not keep it). Clients that send slowly or keep connections open hold no worker, so everyone
// else is answered meanwhile. A client that goes (a reset, or the end of its input) while its
// request waits for a worker or is handled is not answered: its connection closes and the room
// of a request no worker has begun is given back at once. The requests and answers of all
// connections together hold at most maxBytesHeld, every copy of them counted (a body as its bytes
// arrive, then what the handlers take out of it, an answer as it is made and written; answers
// that send one uploaded picture at the same time share one copy of it, counted once): a request
// whose bytes find no room is told 503 with Retry-After at once (one whose declared body does not
// fit when its head comes, before the body is sent), and so is a client in place of an answer
// that finds no room. Nothing waits for room, and a declared body that never comes holds none.
//
// Paths (under /DV/; POST with form fields, at most 8 KB of them (413 past it); GET with a query
// works as well; `base` is "http://HOST:PORT/DV/" as the client addressed the server). Every JSON
// reply is an object {status, msg, info}; a refusal has `status` 0 (in the path's type), a `msg`
// for the user and `info` null. Record fields are strings unless marked (n) for a JSON number.
//
//   client/login.do            clientId
//       status n; token (top level, one per clientId, kept across logins); info {clientId, loginTime}
//   home/index.do              (none)
//       status n; info {listCate: [{categoryId n, name, imgurl, keyword, orderby n, type n}],
//                       listAd: [{adId n, name, imgurl, linkId (a full URL), linkType n, seq n,
//                                 status n, createTime, modifyTime}]}
//       listCate holds the tiles the application keeps ("信聊加粉", "精准加粉", "行业客源") among
//       others it drops; the keywords of the three are those of the tile set listed (tileSets():
//       "prospects" 1, 6, 9; "directory" 3, 11, 2; "information" 12, 4, 13).
//   home/artifactIndex.do      (none)
//       status "1"; info {agentPhone, buyPhone, qq (the web-site address)}
//   qrcode/listCode.do         type ("11" public, "2" personal, "3" group), page (from 0; default 0)
//       status n; info {pageSize "10", totalCount n, listItems: [code]}; a page past the end is empty
//       code = {qrcodeId, qrcodeImg (URL of a PNG QR code of the account, or of the uploaded
//               picture), title, account, nickName, descriptions, areaId n, areaName, equipId (a
//               digest of the uploader's clientId, never the clientId itself),
//               type, status n, addTime "yyyy-MM-dd HH:mm:ss", position (place in its list, from 0)}
//       Codes are listed newest first; seeded: 23 group, 30 personal, 17 public (none when
//       Options::seedCodes is off: every list is empty, with totalCount 0).
//   qrcode/getDetail.do        id, position
//       status "1"; info code
//   qrcode/getChangeDetail.do  id, position, flag ("0" previous, "1" next)
//       status "1"; info code, the neighbour of `id` in its list as it stands now; before the first
//       or past the last code: status "0" with msg "已经是第一个了" / "已经是最后一个了"
//   qrcode/saveCode.do         multipart: clientId, token (of client/login.do), title, area_id,
//                              type, description, account; file part "code" (PNG, JPEG, GIF or WebP)
//       status n; info "上传成功" (or "更新成功" when the client re-uploads the same account, which
//       moves it to the top of its list; once a day). Limits: request 8 MiB (413 past it, before
//       the body is read when its length is declared), picture 2 MiB and 4096 x 4096 pixels
//       (judged from its header, all frames of an animation together), title 100, account 64,
//       description 1000 characters; per device 100 codes and 32 MiB of pictures (a refresh
//       replaces its picture's bytes); for all devices together 1 GiB of pictures and texts (the
//       store's write-ahead log beside it at most 32 MiB, whatever the readers). What the store
//       would refuse is judged before the picture is decoded; decodes run two at a time, and an
//       upload that finds no turn within a second is refused with "服务器繁忙，请稍后再试" (as
//       is one that finds no room in the log), never kept waiting.
//   district/listSubDistrict.do  parentId ("0" for the provinces)
//       status n; info [{id n, name, parentid n, level n (1 province, 2 city), namepath "省,市",
//                        nodepath "440000,440100", charindex, orderby n}]; an unknown parent gives []
//       Every province-level division and its cities under the national division codes.
//   data/listPhone.do          cityId, page, clientId
//       status "1"; info {pageSize 20, totalCount "n", listItems: [{phone, phoneId n, cityId n,
//                         proviceId n, seq n, status n, createTime n (milliseconds)}]}
//       Numbers are made up: a mobile prefix, the block 0555, four digits.
//   data/listAccuratePhone.do  proviceId, page, clientId, phone (a prefix of 3 to 11 digits)
//       as data/listPhone.do; numbers are the prefix followed by four digits
//   data/listCategory.do       clientId
//       status n; info [{categoryId n, name, imgurl, keyword, orderby n, type n}]
//   data/listIndustry.do       clientId, categoryId, page
//       status n; info {pageSize "10", totalCount "n", listItems: [{phone, categoryId n,
//                         industryId n, computerName, seq n, status n, createTime}]}
//   data/qryLearn.do?type=T    HTML: 1 contact information, 2 instructions for use, 3 common
//                              questions; 404 page for any other type
//   data/qryAgent.do?agentNo=A&&clientId=C   HTML: the agent's authorisation letter, or a page
//                              saying A is not an authorised agent (seeded agents: xl_dongfang88,
//                              qinghe2016, chenjia_001, 100800)
//   home/web.do?categoryId=I&clientId=C      HTML: the page of a home category; 404 page if unknown
//   data/consult.do            HTML: the consultation page, whose script calls the application's
//                              bridge "LYAppSpeakController": clickOnAndroid("consult") when it
//                              loads, clickZiXunAction() from its consult() (the button "立即咨询"),
//                              clickOnAndroid(the service number) from the button "拨打客服电话" (no
//                              application screen opens it; a script-bridge page may)
//   pic/tile/I.png, pic/category/I.png, pic/ad/I.png, pic/qrcode/I-R.EXT, pic/static/picture.png
//                              the pictures behind imgurl and qrcodeImg (the last one is a picture
//                              the application may use for its fixed "图片" tile)
//
// Control (outside /DV/, never faulted), for local programs only: a request whose Host is not a
// loopback name or address, or that carries an Origin (or Referer) of another site, as a web page's
// form would, is refused with 403:
//   GET  /_control/faults                      {"faults": [{"path": P, "fault": FAULT}]}
//   POST /_control/fault   path=P&fault=FAULT  sets a fault (syntax in Fault.h); 400 when bad
//   POST /_control/clear   [path=P]            clears one path's fault, or all
#pragma once

#include "platform/base/Result.h"
#include "platform/graphics/RemoteImageLimit.h"
#include "tools/devserver/Fault.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dv::devserver {

// One category of home/index.do, as setHomeCategories takes it.
struct HomeCategory {
    std::int64_t categoryId = 0;
    std::string name;
    std::string keyword; // the screen number the application dispatches on
    std::int64_t type = 1; // 1 a screen of the application, 2 a web page
    std::string pageHtml {}; // its home/web.do page; empty: a heading with the name
};

// A named set of home categories the server can list (see Server::setTileSet).
struct TileSet {
    std::string name;
    std::string summary; // what the application's three tiles open with it
};

struct Options {
    std::string dataFolder {};       // empty: defaultDataFolder()
    std::string host = "127.0.0.1";
    int port = 0;                    // 0: any free port
    std::size_t maxRequestBytes = 8 * 1024 * 1024;
    std::size_t maxImageBytes = 2 * 1024 * 1024;
    // Pictures with more pixels (all frames of an animation together) are refused from their
    // header, before anything is decoded: no QR code needs them, decoding them would take the
    // memory of many, and the application would not show them.
    std::uint64_t maxPicturePixels = dv::kRemoteImageMaximumPixels;
    // What one device may keep uploaded: codes, and bytes of their pictures.
    std::int64_t maxCodesPerDevice = 100;
    std::int64_t maxUploadBytesPerDevice = 32 * 1024 * 1024;
    // What all devices together may keep uploaded: bytes of the codes' pictures and texts.
    std::int64_t maxStoreBytes = 1024 * 1024 * 1024;
    std::size_t threads = 16;        // requests handled at once (a delayed or held request keeps one)
    // A request's head and body must arrive within this time from its first byte (408 and the
    // connection closes otherwise); an answer the client does not take within it is dropped.
    double requestDeadlineSeconds = 10;
    double keepAliveSeconds = 5;     // an open connection without a request closes after this
    std::size_t maxConnections = 4096; // open at once; further ones are told 503
    // Bytes that the requests being read or handled and the answers being written may take, all
    // connections together. Large ones (uploads, pictures) get three quarters of it at most, so
    // that clients that send large bodies slowly, or do not read large answers, leave room for
    // everyone else.
    std::size_t maxBytesHeld = 64 * 1024 * 1024;
    bool logRequests = false;        // one line per request on standard error
    bool seedCodes = true;           // a new data folder gets the seeded QR codes (NO: an empty directory)
    std::string tileSet {};          // a set of tileSets() to list from the start; empty: as the data folder has it
    std::function<std::int64_t()> now {}; // Unix seconds for upload and login times; the system clock when empty
};

class Server {
public:
    // Fails when the data folder cannot be used or the port is taken.
    static Result<std::unique_ptr<Server>> start(Options options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Ends delayed requests and open connections, then stops listening. Safe to call twice.
    void stop();

    int port() const;
    const std::string& host() const;
    std::string baseURL() const;    // "http://HOST:PORT/DV/"
    std::string controlURL() const; // "http://HOST:PORT/_control/"
    const std::string& dataFolder() const;

    // Replaces the seeded home categories (kept in the data folder), listed in this order; each
    // gets a tile picture and a home/web.do page under its id. false when the store refuses (the
    // reason goes to standard error).
    bool setHomeCategories(const std::vector<HomeCategory>& categories);
    // The named sets of home categories: "prospects" (what a new data folder lists), "directory"
    // and "information", between them leading to every screen of the application.
    static const std::vector<TileSet>& tileSets();
    // Lists the named set from now on (kept in the data folder); fails for an unknown name or
    // when the store refuses.
    Result<void> setTileSet(const std::string& name);
    // The set listed now; empty when the categories are no named set (setHomeCategories) or
    // cannot be read (the reason goes to standard error).
    std::string tileSet() const;
    // How many times the client with this identifier has logged in (client/login.do); 0 (and the
    // reason on standard error) when the store cannot be read.
    std::int64_t loginCount(const std::string& clientId) const;

    void setFault(std::string_view path, Fault fault);
    void clearFault(std::string_view path);
    void clearFaults();
    FaultTable& faults();

    // DOVRELTA_HOME/server (see SystemPaths).
    static std::string defaultDataFolder();
    // A loopback port on which nothing listens, for the "server not reachable" case: a request
    // to it fails with "cannot connect".
    static int unusedPort();

private:
    struct Impl;
    explicit Server(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace dv::devserver
