#include "CatalogService.h"

#include "BackendHttp.h"
#include "BearerAuth.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace ZorBackend
{
namespace
{
constexpr const char* Developer = "Tavo Games";
constexpr const char* ImageDate = "2026-01-15T09:30:00.000Z";
constexpr const char* ReleaseDate = "2026-02-01T00:00:00.000Z";

const std::vector<FDemoItem>& DemoItems()
{
    static const std::vector<FDemoItem> Items = {
        {"qx-item-sword", "QxSword", "Sword", "A sharp sword.", {"weapons/swords"}},
        {"qx-item-shield", "QxShield", "Shield", "A sturdy shield.", {"armour"}},
        {"qx-item-gold", "QxGold", "Gold", "A purse of gold.", {"currency"}},
    };
    return Items;
}

const std::vector<FDemoOffer>& DemoOffers()
{
    static const std::vector<FDemoOffer> Offers = {
        {"qx-offer-sword", "Sword", "The sword alone.", 999, {"qx-item-sword"}, {"weapons/swords"}},
        {"qx-offer-bundle",
         "Knight bundle",
         "Sword and shield.",
         1499,
         {"qx-item-sword", "qx-item-shield"},
         {"bundles", "weapons/swords", "armour"}},
        {"qx-offer-gold", "Gold", "A purse of gold.", 1000, {"qx-item-gold"}, {"currency"}},
    };
    return Offers;
}

struct FCategoryFilter
{
    std::vector<std::string> Included;
    std::vector<std::string> Excluded;
};

std::vector<std::string> SplitPaths(std::string_view Text)
{
    std::vector<std::string> Paths;
    size_t Start = 0;
    while (Start <= Text.size())
    {
        const size_t Bar = std::min(Text.find('|', Start), Text.size());
        if (Bar > Start)
        {
            Paths.emplace_back(Text.substr(Start, Bar - Start));
        }
        Start = Bar + 1;
    }
    return Paths;
}

// "!(a|b)|c|d": the excluded paths in brackets, then the included ones.
std::optional<FCategoryFilter> ParseCategoryFilter(std::string_view Text)
{
    FCategoryFilter Filter;
    if (Text.starts_with("!("))
    {
        const size_t Close = Text.find(')');
        if (Close == std::string_view::npos)
        {
            return std::nullopt;
        }
        Filter.Excluded = SplitPaths(Text.substr(2, Close - 2));
        Text.remove_prefix(Close + 1);
        if (Text.starts_with("|"))
        {
            Text.remove_prefix(1);
        }
    }
    Filter.Included = SplitPaths(Text);
    return Filter;
}

// A path matches itself and the paths below it.
bool InCategory(const std::vector<std::string>& Categories, const std::string& Path)
{
    return std::any_of(Categories.begin(), Categories.end(),
                       [&](const std::string& Category)
                       { return Category == Path || Category.starts_with(Path + "/"); });
}

bool Matches(const std::vector<std::string>& Categories, const FCategoryFilter& Filter)
{
    const auto In = [&](const std::string& Path) { return InCategory(Categories, Path); };
    if (std::any_of(Filter.Excluded.begin(), Filter.Excluded.end(), In))
    {
        return false;
    }
    return Filter.Included.empty() || std::any_of(Filter.Included.begin(), Filter.Included.end(), In);
}

struct FPage
{
    size_t Start = 0;
    size_t Count = SIZE_MAX;
};

std::optional<size_t> ReadCount(const httplib::Request& Req, const char* Name)
{
    const std::string Text = Req.get_param_value(Name);
    size_t Value = 0;
    const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End != Text.data() + Text.size())
    {
        return std::nullopt;
    }
    return Value;
}

std::optional<FPage> ReadPage(const httplib::Request& Req)
{
    FPage Page;
    for (const auto& [Name, Field] : {std::pair{"start", &FPage::Start}, std::pair{"count", &FPage::Count}})
    {
        if (!Req.has_param(Name))
        {
            continue;
        }
        const std::optional<size_t> Value = ReadCount(Req, Name);
        if (!Value)
        {
            return std::nullopt;
        }
        Page.*Field = *Value;
    }
    return Page;
}

void WriteStrings(FJsonWriter& Writer, const char* Key, const std::vector<std::string>& Values)
{
    Writer.Key(Key);
    Writer.StartArray();
    for (const std::string& Value : Values)
    {
        Writer.String(Value.c_str(), static_cast<rapidjson::SizeType>(Value.size()));
    }
    Writer.EndArray();
}

void WriteCategories(FJsonWriter& Writer, const std::vector<std::string>& Paths)
{
    Writer.Key("categories");
    Writer.StartArray();
    for (const std::string& Path : Paths)
    {
        Writer.StartObject();
        WriteString(Writer, "path", Path);
        Writer.EndObject();
    }
    Writer.EndArray();
}

void WriteKeyImage(FJsonWriter& Writer, const std::string& Id)
{
    Writer.Key("keyImages");
    Writer.StartArray();
    Writer.StartObject();
    WriteString(Writer, "type", "Thumbnail");
    WriteString(Writer, "url", "https://cdn.example.com/qx/" + Id + ".png");
    WriteInt(Writer, "width", 256);
    WriteInt(Writer, "height", 256);
    WriteInt(Writer, "size", 20480);
    WriteString(Writer, "uploadedDate", ImageDate);
    Writer.EndObject();
    Writer.EndArray();
}

void WriteItem(FJsonWriter& Writer, const FDemoItem& Item)
{
    Writer.StartObject();
    WriteString(Writer, "id", Item.Id);
    WriteString(Writer, "entitlementName", Item.EntitlementName);
    WriteString(Writer, "title", Item.Title);
    WriteString(Writer, "description", Item.Description);
    WriteString(Writer, "developer", Developer);
    WriteString(Writer, "lastModifiedDate", ReleaseDate);
    WriteKeyImage(Writer, Item.Id);
    WriteCategories(Writer, Item.Categories);
    Writer.Key("releaseInfo");
    Writer.StartArray();
    Writer.StartObject();
    WriteString(Writer, "appId", "ZorDemo");
    WriteStrings(Writer, "compatibleApps", {});
    WriteStrings(Writer, "platform", {"Windows", "Linux"});
    WriteString(Writer, "dateAdded", ReleaseDate);
    Writer.EndObject();
    Writer.EndArray();
    Writer.EndObject();
}

void WriteOffer(FJsonWriter& Writer, const FDemoOffer& Offer)
{
    Writer.StartObject();
    WriteString(Writer, "id", Offer.Id);
    WriteString(Writer, "title", Offer.Title);
    WriteString(Writer, "description", Offer.Description);
    WriteString(Writer, "currencyCode", "USD");
    WriteInt(Writer, "price", Offer.Price);
    WriteInt(Writer, "discountedPrice", Offer.Price);
    Writer.Key("vatIncluded");
    Writer.Bool(true);
    WriteString(Writer, "effectiveDate", ReleaseDate);
    WriteKeyImage(Writer, Offer.Id);
    WriteCategories(Writer, Offer.Categories);
    Writer.Key("items");
    Writer.StartArray();
    for (const std::string& ItemId : Offer.ItemIds)
    {
        WriteItem(Writer, *FindDemoItem(ItemId));
    }
    Writer.EndArray();
    Writer.EndObject();
}

// {"paging":{...},"elements":[...]} with the page of Records that Write writes.
template <typename RecordType, typename WriteType>
void SendList(httplib::Response& Res, const std::vector<const RecordType*>& Records, const FPage& Page,
              WriteType Write)
{
    rapidjson::StringBuffer Buffer;
    FJsonWriter Writer(Buffer);
    Writer.StartObject();
    Writer.Key("paging");
    Writer.StartObject();
    WriteInt(Writer, "start", static_cast<int64_t>(Page.Start));
    const size_t First = std::min(Page.Start, Records.size());
    const size_t Last = First + std::min(Page.Count, Records.size() - First);
    WriteInt(Writer, "count", static_cast<int64_t>(Last - First));
    WriteInt(Writer, "total", static_cast<int64_t>(Records.size()));
    Writer.EndObject();
    Writer.Key("elements");
    Writer.StartArray();
    for (size_t Index = First; Index < Last; ++Index)
    {
        Write(Writer, *Records[Index]);
    }
    Writer.EndArray();
    Writer.EndObject();
    SendJson(Res, 200, Buffer);
}

struct FListQuery
{
    FCategoryFilter Filter;
    FPage Page;
};

std::optional<FListQuery> ReadListQuery(const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FCategoryFilter> Filter = ParseCategoryFilter(Req.get_param_value("category"));
    const std::optional<FPage> Page = ReadPage(Req);
    if (!Filter || !Page)
    {
        SendError(Res, 400, ErrorCodes::BadRequest, "Unreadable category filter or paging");
        return std::nullopt;
    }
    return FListQuery{*Filter, *Page};
}

void HandleCategories(const httplib::Request& Req, httplib::Response& Res)
{
    static const std::vector<std::pair<std::string, std::string>> Categories = {{"Weapons", "weapons"},
                                                                                {"Swords", "weapons/swords"},
                                                                                {"Armour", "armour"},
                                                                                {"Bundles", "bundles"},
                                                                                {"Currency", "currency"}};
    std::vector<const std::pair<std::string, std::string>*> Records;
    for (const auto& Category : Categories)
    {
        Records.push_back(&Category);
    }
    const std::optional<FPage> Page = ReadPage(Req);
    if (!Page)
    {
        return SendError(Res, 400, ErrorCodes::BadRequest, "Unreadable paging");
    }
    SendList(Res, Records, *Page,
             [](FJsonWriter& Writer, const std::pair<std::string, std::string>& Category)
             {
                 Writer.StartObject();
                 WriteString(Writer, "name", Category.first);
                 WriteString(Writer, "path", Category.second);
                 Writer.EndObject();
             });
}

void HandleCurrencies(const httplib::Request& Req, httplib::Response& Res)
{
    static const std::vector<std::pair<std::string, std::string>> Currencies = {{"USD", "US dollar"},
                                                                                {"EUR", "Euro"}};
    std::vector<const std::pair<std::string, std::string>*> Records;
    for (const auto& Currency : Currencies)
    {
        Records.push_back(&Currency);
    }
    const std::optional<FPage> Page = ReadPage(Req);
    if (!Page)
    {
        return SendError(Res, 400, ErrorCodes::BadRequest, "Unreadable paging");
    }
    SendList(Res, Records, *Page,
             [](FJsonWriter& Writer, const std::pair<std::string, std::string>& Currency)
             {
                 Writer.StartObject();
                 WriteString(Writer, "type", "REAL");
                 WriteString(Writer, "code", Currency.first);
                 WriteString(Writer, "description", Currency.second);
                 WriteInt(Writer, "decimals", 2);
                 Writer.EndObject();
             });
}

void HandleOffers(const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FListQuery> Query = ReadListQuery(Req, Res);
    if (!Query)
    {
        return;
    }
    std::vector<const FDemoOffer*> Records;
    if (Req.matches[1].str() == DemoNamespace)
    {
        for (const FDemoOffer& Offer : DemoOffers())
        {
            if (Matches(Offer.Categories, Query->Filter))
            {
                Records.push_back(&Offer);
            }
        }
    }
    SendList(Res, Records, Query->Page, WriteOffer);
}

void HandleItems(const httplib::Request& Req, httplib::Response& Res)
{
    const std::optional<FListQuery> Query = ReadListQuery(Req, Res);
    if (!Query)
    {
        return;
    }
    std::vector<const FDemoItem*> Records;
    if (Req.matches[1].str() == DemoNamespace)
    {
        for (const FDemoItem& Item : DemoItems())
        {
            if (Matches(Item.Categories, Query->Filter))
            {
                Records.push_back(&Item);
            }
        }
    }
    SendList(Res, Records, Query->Page, WriteItem);
}

void HandleBulkItems(const httplib::Request& Req, httplib::Response& Res)
{
    std::vector<const FDemoItem*> Records;
    const size_t Count = Req.get_param_value_count("Id");
    for (size_t Index = 0; Index < Count; ++Index)
    {
        if (const FDemoItem* Item = FindDemoItem(Req.get_param_value("Id", Index)))
        {
            Records.push_back(Item);
        }
    }
    SendList(Res, Records, FPage(), WriteItem);
}
} // namespace

const FDemoOffer* FindDemoOffer(const std::string& Namespace, const std::string& OfferId)
{
    if (Namespace != DemoNamespace)
    {
        return nullptr;
    }
    const auto& Offers = DemoOffers();
    const auto Found = std::find_if(Offers.begin(), Offers.end(),
                                    [&](const FDemoOffer& Offer) { return Offer.Id == OfferId; });
    return Found == Offers.end() ? nullptr : &*Found;
}

const FDemoItem* FindDemoItem(const std::string& ItemId)
{
    const auto& Items = DemoItems();
    const auto Found =
        std::find_if(Items.begin(), Items.end(), [&](const FDemoItem& Item) { return Item.Id == ItemId; });
    return Found == Items.end() ? nullptr : &*Found;
}

void FCatalogService::Register(httplib::Server& Server)
{
    const auto Route = [](const char* Path) { return std::string(CommercePath) + Path; };
    const auto Bind = [this](void (*Handler)(const httplib::Request&, httplib::Response&))
    {
        return [this, Handler](const httplib::Request& Req, httplib::Response& Res)
        { WithBearer(State, Req, Res, [&](FToken&, FSteadyClock::time_point) { Handler(Req, Res); }); };
    };
    Server.Get(Route("/api/shared/categories"), Bind(HandleCategories));
    Server.Get(Route("/api/shared/currencies"), Bind(HandleCurrencies));
    Server.Get(Route("/api/shared/namespace/([^/]+)/offers"), Bind(HandleOffers));
    Server.Get(Route("/api/shared/namespace/([^/]+)/items"), Bind(HandleItems));
    Server.Get(Route("/api/shared/bulk/items"), Bind(HandleBulkItems));
}
} // namespace ZorBackend
