/* The SMS gateway library, winsms.so.
 *
 * Sendsms hands one text message to the shop's SMS provider and answers a text: a list of items
 * separated by "/" whose first item is the result code ("0" sent; "-1" balance exhausted; "-2" no
 * such account; "-3" wrong password; anything else an error of the provider or the gateway), or
 * the empty text when the provider cannot be reached. All texts are zero-terminated GBK. The
 * answer stays valid until the next call on the same thread. The two last arguments are reserved
 * and passed as 0.
 *
 * The gateway reads winsms.ini in $AUTOBACKUP_HOME (or, without it, beside the library):
 *
 *   [gateway]
 *   mode=outbox            ; the default: one JSON line per message in sms-outbox/YYYY-MM-DD.jsonl
 *   mode=http              ; send to an HTTP(S) provider:
 *   url=https://sms.example/send
 *   method=GET|POST        ; GET appends the template to the url as its query
 *   body=user={account}&pwd={password}&to={phone}&text={message}
 *   charset=GBK|UTF-8      ; the provider's character set for the URL-encoded fields
 *   timeout=15             ; seconds
 */
#ifndef AUTOBACKUP_WINSMS_H_
#define AUTOBACKUP_WINSMS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) const char* Sendsms(const char* account, const char* password, const char* phone,
                    const char* message, intptr_t reserved1, intptr_t reserved2);

#ifdef __cplusplus
}
#endif

#endif /* AUTOBACKUP_WINSMS_H_ */
