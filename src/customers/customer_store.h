#pragma once

#include <optional>

#include "customers/customer.h"
#include "data/db_result.h"
#include "data/recordset.h"

// Reading and writing kh_table. Plates are stored as NormalizedPlate gives them, and a plate
// typed any way finds the stored one.
// The customer of the current row of a recordset on kh_table; nothing at EOF.
std::optional<Customer> CustomerFromRow(const Recordset& row);

DbResult<std::optional<Customer>> FindCustomerByKey(const QString& key);
// The first stored customer with this plate, however its letters were typed.
DbResult<std::optional<Customer>> FindCustomerByPlate(const QString& plate);

// Why the customer cannot be stored: the first field longer than its limit
// (core/field_limits.h), or empty. Adding and updating refuse such a customer and write nothing.
QString CustomerTooLong(const Customer& customer);

enum class CustomerAdd { Added, PlateTaken };
// Adds the customer as not yet called, under its key or a new one when it has none. The check
// and the insert run in one write transaction, so a second station cannot slip the same plate
// in between. Plates are not unique in the schema: older files may repeat one, and a plate is
// matched however its letters were typed, which an index on the column cannot say.
DbResult<CustomerAdd> AddCustomer(const Customer& customer);

// ChangedElsewhere: another station saved the record since it was read, and nothing was written.
enum class CustomerUpdate { Updated, Gone, ChangedElsewhere };
// Writes everything but the key, the plate and the called flag. An empty sex keeps the stored one.
DbResult<CustomerUpdate> UpdateCustomer(const Customer& customer);
// The same, unless the stored record no longer holds what `loaded` says it held when it was
// read: the save would write over another station's change. Compared inside the save's own
// transaction, on every field the save writes.
DbResult<CustomerUpdate> UpdateCustomer(const Customer& customer, const Customer& loaded);

DbStatus RemoveCustomer(const QString& key);
