// The values of the keychain's attribute keys and constants. They are plain strings so that
// dictionaries built by callers print readably in logs.
#include "platform/system/Security.h"

#include "platform/base/NSString.h"

const Ref<NSString> kSecClass = "class"_ns;
const Ref<NSString> kSecClassGenericPassword = "genp"_ns;
const Ref<NSString> kSecClassInternetPassword = "inet"_ns;

const Ref<NSString> kSecAttrAccessGroup = "agrp"_ns;
const Ref<NSString> kSecAttrAccessible = "pdmn"_ns;
const Ref<NSString> kSecAttrAccessControl = "accc"_ns;
const Ref<NSString> kSecAttrAccount = "acct"_ns;
const Ref<NSString> kSecAttrService = "svce"_ns;
const Ref<NSString> kSecAttrGeneric = "gena"_ns;
const Ref<NSString> kSecAttrLabel = "labl"_ns;
const Ref<NSString> kSecAttrComment = "icmt"_ns;
const Ref<NSString> kSecAttrDescription = "desc"_ns;
const Ref<NSString> kSecAttrCreationDate = "cdat"_ns;
const Ref<NSString> kSecAttrModificationDate = "mdat"_ns;
const Ref<NSString> kSecAttrServer = "srvr"_ns;
const Ref<NSString> kSecAttrPort = "port"_ns;
const Ref<NSString> kSecAttrPath = "path"_ns;
const Ref<NSString> kSecAttrSecurityDomain = "sdmn"_ns;
const Ref<NSString> kSecAttrProtocol = "ptcl"_ns;
const Ref<NSString> kSecAttrAuthenticationType = "atyp"_ns;
const Ref<NSString> kSecAttrSynchronizable = "sync"_ns;
const Ref<NSString> kSecAttrSynchronizableAny = "syna"_ns;

const Ref<NSString> kSecAttrAccessibleWhenUnlocked = "ak"_ns;
const Ref<NSString> kSecAttrAccessibleAfterFirstUnlock = "ck"_ns;
const Ref<NSString> kSecAttrAccessibleAlways = "dk"_ns;
const Ref<NSString> kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly = "akpu"_ns;
const Ref<NSString> kSecAttrAccessibleWhenUnlockedThisDeviceOnly = "aku"_ns;
const Ref<NSString> kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly = "cku"_ns;
const Ref<NSString> kSecAttrAccessibleAlwaysThisDeviceOnly = "dku"_ns;

const Ref<NSString> kSecAttrProtocolFTP = "ftp "_ns;
const Ref<NSString> kSecAttrProtocolFTPAccount = "ftpa"_ns;
const Ref<NSString> kSecAttrProtocolHTTP = "http"_ns;
const Ref<NSString> kSecAttrProtocolIRC = "irc "_ns;
const Ref<NSString> kSecAttrProtocolNNTP = "nntp"_ns;
const Ref<NSString> kSecAttrProtocolPOP3 = "pop3"_ns;
const Ref<NSString> kSecAttrProtocolSMTP = "smtp"_ns;
const Ref<NSString> kSecAttrProtocolSOCKS = "sox "_ns;
const Ref<NSString> kSecAttrProtocolIMAP = "imap"_ns;
const Ref<NSString> kSecAttrProtocolLDAP = "ldap"_ns;
const Ref<NSString> kSecAttrProtocolAppleTalk = "atlk"_ns;
const Ref<NSString> kSecAttrProtocolAFP = "afp "_ns;
const Ref<NSString> kSecAttrProtocolTelnet = "teln"_ns;
const Ref<NSString> kSecAttrProtocolSSH = "ssh "_ns;
const Ref<NSString> kSecAttrProtocolFTPS = "ftps"_ns;
const Ref<NSString> kSecAttrProtocolHTTPS = "htps"_ns;
const Ref<NSString> kSecAttrProtocolHTTPProxy = "htpx"_ns;
const Ref<NSString> kSecAttrProtocolHTTPSProxy = "htsx"_ns;
const Ref<NSString> kSecAttrProtocolFTPProxy = "ftpx"_ns;
const Ref<NSString> kSecAttrProtocolSMB = "smb "_ns;
const Ref<NSString> kSecAttrProtocolRTSP = "rtsp"_ns;
const Ref<NSString> kSecAttrProtocolRTSPProxy = "rtsx"_ns;
const Ref<NSString> kSecAttrProtocolDAAP = "daap"_ns;
const Ref<NSString> kSecAttrProtocolEPPC = "eppc"_ns;
const Ref<NSString> kSecAttrProtocolNNTPS = "ntps"_ns;
const Ref<NSString> kSecAttrProtocolLDAPS = "ldps"_ns;
const Ref<NSString> kSecAttrProtocolTelnetS = "tels"_ns;
const Ref<NSString> kSecAttrProtocolIRCS = "ircs"_ns;
const Ref<NSString> kSecAttrProtocolPOP3S = "pops"_ns;

const Ref<NSString> kSecAttrAuthenticationTypeNTLM = "ntlm"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeMSN = "msna"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeDPA = "dpaa"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeRPA = "rpaa"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeHTTPBasic = "http"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeHTTPDigest = "httd"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeHTMLForm = "form"_ns;
const Ref<NSString> kSecAttrAuthenticationTypeDefault = "dflt"_ns;

const Ref<NSString> kSecMatchLimit = "m_Limit"_ns;
const Ref<NSString> kSecMatchLimitOne = "m_LimitOne"_ns;
const Ref<NSString> kSecMatchLimitAll = "m_LimitAll"_ns;
const Ref<NSString> kSecMatchCaseInsensitive = "m_CaseInsensitive"_ns;
const Ref<NSString> kSecReturnData = "r_Data"_ns;
const Ref<NSString> kSecReturnAttributes = "r_Attributes"_ns;
const Ref<NSString> kSecReturnRef = "r_Ref"_ns;
const Ref<NSString> kSecReturnPersistentRef = "r_PersistentRef"_ns;
const Ref<NSString> kSecValueData = "v_Data"_ns;
const Ref<NSString> kSecUseOperationPrompt = "u_OpPrompt"_ns;
const Ref<NSString> kSecUseNoAuthenticationUI = "u_NoAuthUI"_ns;
const Ref<NSString> kSecUseAuthenticationUI = "u_AuthUI"_ns;
const Ref<NSString> kSecUseAuthenticationUIAllow = "u_AuthUIA"_ns;
const Ref<NSString> kSecUseAuthenticationUIFail = "u_AuthUIF"_ns;
const Ref<NSString> kSecUseAuthenticationUISkip = "u_AuthUIS"_ns;
const Ref<NSString> kSecSharedPassword = "spwd"_ns;
