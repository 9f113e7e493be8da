// What the prospect screens' tests share, on top of the directory's fixture: opening a list as its
// openers do, the server's own batches (asked for beside the application, so they are not
// counted as the screens' requests), what the rows show, the page memory as stored, the address
// book as its database holds it, and the two address-book buttons with their confirmations.
#pragma once

#include "DirectoryTestSupport.h"

#include "app/shell/server/ServerReply.h"

#include <utility>

namespace dv::app {
class ProspectListController;
}

namespace dv::test {

// One batch as the server lists it.
struct ServerBatch {
    std::vector<std::string> phones;
    std::vector<std::string> companies; // the industry list's computerName
    NSInteger totalCount = 0;
    NSInteger pageSize = 0;
};

// One person as the address-book database holds it.
struct StoredContact {
    std::optional<std::string> firstName, lastName;
    std::optional<double> birthday; // seconds since the reference date
    std::vector<std::pair<std::string, std::string>> phones; // (label, value), in order
};

class ProspectTest : public DirectoryTest {
protected:
    void SetUp() override;

    // Made by class name, given its list key(s) by property name and pushed, as the search screens
    // and the grid do; runs until its first batch has loaded.
    Ref<dv::app::ProspectListController> openList(const std::string& className,
        const std::vector<std::pair<std::string, std::string>>& keys);
    // The bar button of the top list, tapped, and the wait for the batch it asks for.
    bool nextBatch(const Ref<dv::app::ProspectListController>& list);

    // A reply of the server, asked for directly.
    std::optional<ServerReply> serverReply(const dv::app::ServerRequest& request) const;
    // A batch asked of the server directly.
    ServerBatch serverBatch(const dv::app::ServerRequest& request) const;
    ServerBatch cityBatch(const std::string& cityId, NSInteger page) const;
    ServerBatch prefixBatch(const std::string& provinceId, const std::string& prefix, NSInteger page) const;
    ServerBatch industryBatch(const std::string& categoryId, NSInteger page) const;
    // The (id, name) of each record of a reply whose `info` is an array (categories, regions).
    std::vector<std::pair<std::string, std::string>> serverRecords(const dv::app::ServerRequest& request, const char* idKey) const;

    // The numbers the visible rows of a phone list show, top first; the company names and the
    // numbers of the industry list's visible rows.
    std::vector<std::string> visiblePhones(const Ref<dv::app::ProspectListController>& list) const;
    std::vector<std::pair<std::string, std::string>> visibleCompanies(const Ref<dv::app::ProspectListController>& list) const;

    // The pages the screens asked `path` for, in order.
    std::vector<std::string> pagesAsked(std::string_view path) const;

    // The page memory under the key, as stored; nullopt when the key holds no array.
    std::optional<std::vector<std::string>> pageMemory(const char* key) const;

    // Every person of the address-book database, in the order they were added.
    std::vector<StoredContact> storedContacts() const;
    // The numbers labelled "iphone" of the stored people, in order.
    std::vector<std::string> storedNumbers() const;
    // The user's own contacts, saved through the platform (a first name and a mobile number each).
    void addOwnContacts(const std::vector<std::string>& names);

    // A tap on one of the two bottom buttons ("导入通讯录", "删除当前通讯录"); answers the alert it
    // shows with `answer` when given. Nullopt when the button or the alert did not show.
    std::optional<dv::testing::UIDriver::Alert> tapBottomButton(std::string_view title, std::optional<std::string_view> answer);
};

} // namespace dv::test
