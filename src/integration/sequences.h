#pragma once

namespace carvela {

class Connection;

// Numbers drawn from the ERP's own counters. Each call reads the counter, works out the next
// number, writes it back at once and returns it; a number is spent even if the caller then fails.
// A branch counter at 0 (or null) is seeded from the highest number the ERP table holds.

// The next sale number of a store (filial.SeqVenda, seeded from lj_venda.idvenda).
int NextSaleNumber(Connection& erp, int store);
// The next purchase entry number of a store (filial.SeqEntNota, seeded from lj_entradas.IdEntrada).
int NextEntryNumber(Connection& erp, int store, int company = 1);
// The next payable-title id, from the counter "Apagar" of Lj_Sequencial (one for all stores).
int NextSequence(Connection& erp);

// The next sale or entry number of a store that no row of the store holds yet. Another ERP client
// may have stored one without moving the counter: its number is passed over, never stored twice.
int NextFreeSaleNumber(Connection& erp, int store);
int NextFreeEntryNumber(Connection& erp, int store, int company = 1);
// The next payable-title id that no title holds yet, likewise.
int NextFreeSequence(Connection& erp);

} // namespace carvela
