-- The demo station's cloud: the store of branch 1 (and of branch 2), their banks' agencies, and bank
-- movements of the last days, some already imported.
INSERT INTO lojas (id_loja, cnpj_empresa, cnpj_filial, nome) VALUES
  (11, '12345678000190', '12345678000190', 'Posto São Cristóvão'),
  (12, '12345678000190', '12345678000270', 'Posto Beira-Rio');
INSERT INTO bancos_agencias (idbanco, id_loja, idagencia, nome_banco) VALUES
  (1, 11, '1234', 'Banco do Brasil'),
  (104, 11, '0876', 'Caixa Econômica Federal'),
  (341, 11, 'PIX', 'Itaú Unibanco'),
  (1, 12, '4321', 'Banco do Brasil');
INSERT INTO mov_bancario (idmovimento, id_empresa, id_loja, idbanco, documento, valor_lancamento, tipo_lancamento,
    historico_lancamento, controle_banco, data_lancamento, hora_lancamento, atualizado) VALUES
  (5001, 11, 11, 1, 'DOC5001', 4806.42, 'C', 'Transferência Pix recebida', 'CTRL5001', '{D-3}', '11:31:00', 'S'),
  (5002, 11, 11, 104, 'DOC5002', 2410.95, 'D', 'Tarifa bancária', 'CTRL5002', '{D-3}', '15:51:00', 'S'),
  (5003, 11, 11, 341, 'DOC5003', 677.5, 'D', 'Pagamento de boleto - Petrobras', 'CTRL5003', '{D-3}', '16:57:00', NULL),
  (5004, 12, 12, 1, 'DOC5004', 4840.04, 'C', 'Recebimento cartão de crédito', 'CTRL5004', '{D-3}', '18:33:00', NULL),
  (5005, 11, 11, 1, 'DOC5005', 641.15, 'C', 'Recebimento cartão de débito', 'CTRL5005', '{D-2}', '15:16:00', NULL),
  (5006, 11, 11, 104, 'DOC5006', 7292.51, 'C', 'Depósito em cheque', 'CTRL5006', '{D-2}', '12:15:00', NULL),
  (5007, 11, 11, 341, 'DOC5007', 6577.55, 'D', 'Transferência Pix enviada', 'CTRL5007', '{D-2}', '11:14:00', NULL),
  (5008, 12, 12, 1, 'DOC5008', 6671.47, 'C', 'Estorno de tarifa', 'CTRL5008', '{D-2}', '15:31:00', NULL),
  (5009, 11, 11, 1, 'DOC5009', 7617.5, 'D', 'Pagamento de salário', 'CTRL5009', '{D-1}', '09:30:00', NULL),
  (5010, 11, 11, 104, 'DOC5010', 8198.68, 'C', 'Depósito em espécie', 'CTRL5010', '{D-1}', '12:49:00', NULL),
  (5011, 11, 11, 341, 'DOC5011', 468.39, 'C', 'Transferência Pix recebida', 'CTRL5011', '{D-1}', '18:41:00', NULL),
  (5012, 12, 12, 1, 'DOC5012', 1824.7, 'D', 'Tarifa bancária', 'CTRL5012', '{D-1}', '17:09:00', NULL),
  (5013, 11, 11, 1, 'DOC5013', 3019.37, 'D', 'Pagamento de boleto - Petrobras', 'CTRL5013', '{D-0}', '18:47:00', NULL),
  (5014, 11, 11, 104, 'DOC5014', 6251.34, 'C', 'Recebimento cartão de crédito', 'CTRL5014', '{D-0}', '17:36:00', NULL),
  (5015, 11, 11, 341, 'DOC5015', 1244.3, 'C', 'Recebimento cartão de débito', 'CTRL5015', '{D-0}', '15:03:00', NULL),
  (5016, 12, 12, 1, 'DOC5016', 4397.89, 'C', 'Depósito em cheque', 'CTRL5016', '{D-0}', '18:06:00', NULL);
